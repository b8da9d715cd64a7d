#include "escuta/linux/entrega.h"

#include <algorithm>
#include <memory>
#include <string>

#include "escuta/linux/limites.h"

namespace escuta {

Entrega::Entrega(const ConfiguracaoDoFluxo& c, DelegadoDoFluxo& delegado)
    : delegado_(delegado),
      folga_(static_cast<size_t>(std::max<int64_t>(0, c.taxa)) * static_cast<size_t>(std::max<int64_t>(0, c.canais)) *
             4 * kSegundosDeFolga) {}

std::optional<Erro> Entrega::registrar(SaidaDoFluxo& saida, TipoDeSaida tipo, FilaSerial& fila) {
  auto* nossa = dynamic_cast<FilaSerialLinux*>(&fila);
  if (tipo != TipoDeSaida::audio) return Erro{"só há saída de áudio"};
  if (!nossa) return Erro{"fila de outra plataforma"};
  saida_ = &saida;
  fila_ = nossa;
  return std::nullopt;
}

void Entrega::entregar(std::vector<uint8_t> bytes) {
  if (fila_->pendente() > folga_)
    return delegado_.fluxoParou(
        Erro{"o leitor do stdout ficou " + std::to_string(kSegundosDeFolga) + " s de áudio para trás"});
  const size_t peso = bytes.size();
  fila_->enfileirar([saida = saida_, amostra = std::make_shared<AmostraDeBytes>(std::move(bytes))] {
    saida->fluxoEntregou(*amostra, TipoDeSaida::audio);
  }, peso);
}

}  // namespace escuta
