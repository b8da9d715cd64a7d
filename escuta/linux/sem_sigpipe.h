#pragma once
// While one lives, a write on this thread to a socket whose peer has hung up
// fails with EPIPE instead of ending the process. For libraries that write
// without MSG_NOSIGNAL: Xlib's connection setup meets an X server that drops
// clients in a burst, and the next try must still be possible.
#include <pthread.h>
#include <signal.h>

#include <ctime>

namespace escuta {

class SemSigpipe {
 public:
  SemSigpipe() {
    sigemptyset(&sigpipe_);
    sigaddset(&sigpipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &sigpipe_, &antes_);
  }
  ~SemSigpipe() {
    // Already blocked before: whatever is pending was not ours to take.
    if (sigismember(&antes_, SIGPIPE)) return;
    const timespec agora{};
    while (sigtimedwait(&sigpipe_, nullptr, &agora) == SIGPIPE) {
    }
    pthread_sigmask(SIG_SETMASK, &antes_, nullptr);
  }
  SemSigpipe(const SemSigpipe&) = delete;
  SemSigpipe& operator=(const SemSigpipe&) = delete;

 private:
  sigset_t sigpipe_;
  sigset_t antes_;
};

}  // namespace escuta
