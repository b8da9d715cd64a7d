#pragma once
#include "escuta/processo.h"

namespace escuta {

// File descriptors 1 and 2. Exits end the process at once, from any thread.
class ProcessoPosix : public Processo {
 public:
  void escreverErro(std::string_view bytes) override;
  Escrita escreverSaida(std::string_view bytes) override;
  [[noreturn]] void encerrar(int status) override;
  [[noreturn]] void encerrarPorPipeQuebrado() override;
  [[noreturn]] void dormirParaSempre() override;
};

}  // namespace escuta
