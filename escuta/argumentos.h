#pragma once
// escuta's command line: flags matched whole, values read as they stand.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace escuta {

// The argument right after the first one equal to `flag`; absent when no
// argument equals it or when that first one is the last.
std::optional<std::string> valor(const std::vector<std::string>& args, std::string_view flag);

// An optional single sign, then one or more ASCII digits, within the signed
// 64-bit range (its minimum included). Anything else is absent.
std::optional<int64_t> lerInteiro(std::string_view texto);

bool tem(const std::vector<std::string>& args, std::string_view flag);

// The four values capture mode starts with.
struct OpcoesDeCaptura {
  std::optional<int64_t> telaEscolhida;
  std::optional<std::string> excluirBundle;
  int64_t taxa = 48000;
  int64_t canais = 2;
};

OpcoesDeCaptura lerOpcoesDeCaptura(const std::vector<std::string>& args);

}  // namespace escuta
