#pragma once
// rosto's command line: the video path, then flag/value pairs.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace rosto {

inline constexpr const char* kUso = "uso: rosto <video> [--fps 5] [--inicio s] [--fim s]";

struct Opcoes {
  double fpsAmostra = 5;
  double inicio = 0;
  double fim = std::numeric_limits<double>::infinity();
};

// Takes the video path off the front of `args`; absent when the command
// line has none (no argument, or the first one begins with "--").
std::optional<std::string> tomarVideo(std::vector<std::string>& args);

// Runs the option loop over the remaining words. Gives the message of the
// first unrecognised word, or nothing when every word was accepted.
std::optional<std::string> lerOpcoes(const std::vector<std::string>& args, Opcoes& opcoes);

}  // namespace rosto
