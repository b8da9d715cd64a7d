// escuta: lists displays and applications, or streams the system's sound as PCM.
#include <signal.h>

#include <string>
#include <vector>

#include "escuta/despacho.h"
#include "escuta/linux/plataforma_linux.h"
#include "escuta/linux/processo_posix.h"

int main(int argc, char** argv) {
  // A closed reader must end the process at its next write, whatever the parent left us with.
  signal(SIGPIPE, SIG_DFL);
  const std::vector<std::string> args(argv, argv + argc);
  escuta::PlataformaLinux plataforma;
  escuta::ProcessoPosix processo;
  escuta::despachar(args, plataforma, processo);
}
