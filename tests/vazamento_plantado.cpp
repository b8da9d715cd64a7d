// A leak on purpose: the sanitized suite proves that its leak check would
// catch one on this machine, instead of trusting that it runs.
#include <cstdio>
#include <thread>

int* volatile perdido;

int main() {
  // Lost in a thread that is gone by the check, so no stale copy of the
  // pointer in a live register or stack can make it look reachable.
  std::thread([] {
    perdido = new int[64];
    perdido[0] = 1;
    perdido = nullptr;
  }).join();
  std::puts("vazou");
  return 0;
}
