#include "rosto/linux/terminal_posix.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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
// write or an interrupted call. Gives 0, or the errno of the failure.
int escreverTudo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}
}  // namespace

std::optional<std::string> TerminalPosix::escreverSaida(std::string_view bytes) {
  if (const int erro = escreverTudo(STDOUT_FILENO, bytes)) return std::strerror(erro);
  return std::nullopt;
}

// Nowhere is left to tell of a failure here.
void TerminalPosix::escreverErro(std::string_view bytes) { escreverTudo(STDERR_FILENO, bytes); }
void TerminalPosix::encerrar(int status) {
  conferirVazamentos();
  std::_Exit(status);
}

}  // namespace rosto
