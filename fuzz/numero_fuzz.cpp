// rosto's number reader against strtod itself.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rosto/numero.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  const std::string texto(reinterpret_cast<const char*>(dados), tamanho);
  const std::optional<double> lido = rosto::lerNumero(texto);
  const bool espaco = !texto.empty() && std::strchr(" \t\n\v\f\r", texto[0]) && texto[0] != '\0';
  char* fim = nullptr;
  const double esperado = std::strtod(texto.c_str(), &fim);
  const bool aceito = !texto.empty() && !espaco && fim == texto.c_str() + texto.size();
  if (lido.has_value() != aceito) std::abort();
  if (lido && !(std::isnan(*lido) && std::isnan(esperado)) && std::memcmp(&*lido, &esperado, sizeof esperado) != 0)
    std::abort();
  return 0;
}
