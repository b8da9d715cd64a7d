// escuta's integer reader against a reference written the slow, obvious way.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "escuta/argumentos.h"

namespace {
std::optional<int64_t> referencia(std::string t) {
  bool negativo = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) negativo = t[0] == '-', t.erase(0, 1);
  if (t.empty()) return std::nullopt;
  for (char c : t)
    if (c < '0' || c > '9') return std::nullopt;
  const size_t zeros = t.find_first_not_of('0');
  if (zeros == std::string::npos) return 0;
  t.erase(0, zeros);
  if (t.size() > 19) return std::nullopt;
  __int128 v = 0;
  for (char c : t) v = v * 10 + (c - '0');
  if (negativo) v = -v;
  if (v > INT64_MAX || v < INT64_MIN) return std::nullopt;
  return static_cast<int64_t>(v);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  const std::string texto(reinterpret_cast<const char*>(dados), tamanho);
  if (escuta::lerInteiro(texto) != referencia(texto)) std::abort();
  return 0;
}
