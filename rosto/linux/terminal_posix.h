#pragma once
#include "rosto/terminal.h"

namespace rosto {

// File descriptors 1 and 2; exit ends the process at once.
class TerminalPosix : public Terminal {
 public:
  std::optional<std::string> escreverSaida(std::string_view bytes) override;
  void escreverErro(std::string_view bytes) override;
  [[noreturn]] void encerrar(int status) override;
};

}  // namespace rosto
