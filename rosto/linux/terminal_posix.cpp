#include "rosto/linux/terminal_posix.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace rosto {

namespace {
// One write call as far as the kernel allows; the rest only after a partial
// write or an interrupted call. Failures are not examined.
void escreverTudo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}
}  // namespace

void TerminalPosix::escreverSaida(std::string_view bytes) { escreverTudo(STDOUT_FILENO, bytes); }
void TerminalPosix::escreverErro(std::string_view bytes) { escreverTudo(STDERR_FILENO, bytes); }
void TerminalPosix::encerrar(int status) { std::_Exit(status); }

}  // namespace rosto
