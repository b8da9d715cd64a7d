#include "rosto/numero.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace rosto {

namespace {
bool ehEspaco(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A process-wide locale could use a comma as the decimal point; this one never does.
locale_t localeC() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}
}  // namespace

std::optional<double> lerNumero(std::string_view texto) {
  if (texto.empty() || ehEspaco(texto.front())) return std::nullopt;
  const std::string terminado(texto);  // strtod needs the terminating NUL
  char* fim = nullptr;
  const double valor = strtod_l(terminado.c_str(), &fim, localeC());
  // An embedded NUL stops strtod early, so it fails this test as it should.
  if (fim != terminado.c_str() + terminado.size()) return std::nullopt;
  return valor;
}

}  // namespace rosto
