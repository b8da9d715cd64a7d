#include "rosto/linux/terminal_posix.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace rosto {

namespace {

// _Exit skips the leak check a sanitized build makes at exit: make it here.
void conferirVazamentos() {
#ifdef __SANITIZE_ADDRESS__
  __lsan_do_leak_check();
#endif
}

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
void TerminalPosix::encerrar(int status) {
  conferirVazamentos();
  std::_Exit(status);
}

}  // namespace rosto
