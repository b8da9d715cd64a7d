#pragma once
// Applications' names as their users know them: the Name of their desktop
// entry.
#include <map>
#include <string>
#include <vector>

namespace escuta {

class Nomes {
 public:
  // Where desktops look for entries: $XDG_DATA_HOME (~/.local/share), then
  // each of $XDG_DATA_DIRS (/usr/local/share:/usr/share), each with its
  // applications/ folder.
  static Nomes doAmbiente();
  explicit Nomes(std::vector<std::string> pastas) : pastas_(std::move(pastas)) {}

  // The Name of <id>.desktop in the first folder that has one; empty when
  // none does, or `id` is no file name.
  std::string de(const std::string& id) const;

 private:
  std::vector<std::string> pastas_;
  mutable std::map<std::string, std::string> vistos_;
};

}  // namespace escuta
