#include "escuta/linux/limites.h"

#include <string>

namespace escuta {

std::optional<Erro> validarFormato(const ConfiguracaoDoFluxo& c) {
  if (c.taxa < kTaxaMinima || c.taxa > kTaxaMaxima)
    return Erro{"taxa de amostragem inválida: " + std::to_string(c.taxa) + " (aceito de " +
                std::to_string(kTaxaMinima) + " a " + std::to_string(kTaxaMaxima) + ")"};
  if (c.canais < 1 || c.canais > kCanaisMaximos)
    return Erro{"número de canais inválido: " + std::to_string(c.canais) + " (aceito de 1 a " +
                std::to_string(kCanaisMaximos) + ")"};
  return std::nullopt;
}

}  // namespace escuta
