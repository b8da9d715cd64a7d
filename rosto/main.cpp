// rosto: samples a video, finds faces, writes one JSON line per sample.
#include <cstdlib>
#include <string>
#include <vector>

#include "rosto/execucao.h"
#include "rosto/linux/detector/detector_mediapipe.h"
#include "rosto/linux/plataforma_linux.h"
#include "rosto/linux/terminal_posix.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool depurar = std::getenv("ROSTO_DEPURAR") != nullptr;
  rosto::PlataformaLinux plataforma(rosto::diretorioDosModelosInstalados());
  rosto::TerminalPosix terminal;
  return rosto::executar(std::move(args), depurar, plataforma, terminal);
}
