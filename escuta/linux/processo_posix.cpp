#include "escuta/linux/processo_posix.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif
#include <cstring>

namespace escuta {

namespace {

// _Exit skips the leak check a sanitized build makes at exit: make it here.
void conferirVazamentos() {
#ifdef __SANITIZE_ADDRESS__
  __lsan_do_leak_check();
#endif
}

// The kernel may take a large block in pieces; a piece after a partial write
// or an interrupted call is still the same block.
int escreverTudo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}
}  // namespace

void ProcessoPosix::escreverErro(std::string_view bytes) { escreverTudo(STDERR_FILENO, bytes); }

Escrita ProcessoPosix::escreverSaida(std::string_view bytes) {
  const int erro = escreverTudo(STDOUT_FILENO, bytes);
  if (erro == 0) return {};
  if (erro == EPIPE) return {Escrita::leitorSaiu, ""};
  return {Escrita::falhou, std::strerror(erro)};
}

void ProcessoPosix::encerrar(int status) {
  conferirVazamentos();
  std::_Exit(status);
}

// Only reached when SIGPIPE was blocked on the writing thread: deliver it now.
void ProcessoPosix::encerrarPorPipeQuebrado() {
  signal(SIGPIPE, SIG_DFL);
  sigset_t so;
  sigemptyset(&so);
  sigaddset(&so, SIGPIPE);
  pthread_sigmask(SIG_UNBLOCK, &so, nullptr);
  raise(SIGPIPE);
  std::_Exit(1);
}

void ProcessoPosix::dormirParaSempre() {
  for (;;) sleep(3600);
}

}  // namespace escuta
