#include "escuta/linux/sem_sigpipe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace escuta {
namespace {

bool sigpipeBloqueado() {
  sigset_t atual;
  pthread_sigmask(SIG_SETMASK, nullptr, &atual);
  return sigismember(&atual, SIGPIPE);
}

bool sigpipePendente() {
  sigset_t pendentes;
  sigpending(&pendentes);
  return sigismember(&pendentes, SIGPIPE);
}

// The write a hung-up peer gets, as Xlib makes it: write(2), no MSG_NOSIGNAL.
TEST(SemSigpipe, EscritaSemLeitorFalhaSemMatarEODeixaComoEstava) {
  int par[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, par), 0);
  close(par[1]);
  {
    const SemSigpipe semSigpipe;
    EXPECT_EQ(write(par[0], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
  }
  close(par[0]);
  EXPECT_FALSE(sigpipeBloqueado());
  EXPECT_FALSE(sigpipePendente());
}

}  // namespace
}  // namespace escuta
