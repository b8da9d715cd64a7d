// escuta: lists displays and applications, or streams the system's sound as PCM.
#include <signal.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "escuta/despacho.h"
#include "escuta/linux/plataforma_linux.h"
#include "escuta/linux/processo_posix.h"

int main(int argc, char** argv) {
  // A closed reader must end the process at its next write, whatever the parent left us with.
  signal(SIGPIPE, SIG_DFL);
  const std::vector<std::string> args(argv, argv + argc);
  escuta::ProcessoPosix processo;
  // With ESCUTA_DEPURAR, whatever its value, how each sound server answered goes to standard error.
  escuta::Diagnostico diagnosticar;
  if (std::getenv("ESCUTA_DEPURAR"))
    diagnosticar = [&processo](const std::string& linha) { escuta::avisar(processo, linha); };
  escuta::PlataformaLinux plataforma(diagnosticar);
  escuta::despachar(args, plataforma, processo);
}
