#include "rosto/formatacao.h"

#include <charconv>
#include <cmath>

namespace rosto {

std::string fixo(double valor, int casas) {
  char texto[400];  // DBL_MAX with a few decimals fits in 320
  const auto r = std::to_chars(texto, texto + sizeof texto, valor, std::chars_format::fixed, casas);
  return std::string(texto, r.ptr);
}

std::string tempoCurto(double valor) {
  char texto[64];
  const auto r = std::to_chars(texto, texto + sizeof texto, valor);
  std::string curto(texto, r.ptr);
  if (std::isfinite(valor) && curto.find_first_of(".e") == std::string::npos) curto += ".0";
  return curto;
}

std::string inteiro(int64_t valor) {
  char texto[24];
  const auto r = std::to_chars(texto, texto + sizeof texto, valor);
  return std::string(texto, r.ptr);
}

}  // namespace rosto
