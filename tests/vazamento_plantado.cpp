// A leak on purpose: the sanitized suite proves that its leak check would
// catch one on this machine, instead of trusting that it runs.
#include <cstdio>

int* volatile perdido;

int main() {
  perdido = new int[64];
  perdido[0] = 1;
  perdido = nullptr;
  std::puts("vazou");
  return 0;
}
