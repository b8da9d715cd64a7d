#include "escuta/linux/pulseaudio/formato_pulse.h"

#include "escuta/linux/posicoes.h"

namespace escuta {

namespace {

pa_channel_position_t paraPulse(Posicao p) {
  if (ehAuxiliar(p)) return static_cast<pa_channel_position_t>(PA_CHANNEL_POSITION_AUX0 + indiceAuxiliar(p));
  switch (p) {
    case Posicao::mono: return PA_CHANNEL_POSITION_MONO;
    case Posicao::frenteEsquerda: return PA_CHANNEL_POSITION_FRONT_LEFT;
    case Posicao::frenteDireita: return PA_CHANNEL_POSITION_FRONT_RIGHT;
    case Posicao::centro: return PA_CHANNEL_POSITION_FRONT_CENTER;
    case Posicao::graves: return PA_CHANNEL_POSITION_LFE;
    case Posicao::trasEsquerda: return PA_CHANNEL_POSITION_REAR_LEFT;
    case Posicao::trasDireita: return PA_CHANNEL_POSITION_REAR_RIGHT;
    case Posicao::ladoEsquerdo: return PA_CHANNEL_POSITION_SIDE_LEFT;
    case Posicao::ladoDireito: return PA_CHANNEL_POSITION_SIDE_RIGHT;
    case Posicao::trasCentro: return PA_CHANNEL_POSITION_REAR_CENTER;
    default: return PA_CHANNEL_POSITION_INVALID;
  }
}

}  // namespace

pa_sample_spec especificacaoPedida(const ConfiguracaoDoFluxo& c) {
  return {PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(c.taxa), static_cast<uint8_t>(c.canais)};
}

pa_channel_map mapaPedido(const ConfiguracaoDoFluxo& c) {
  pa_channel_map mapa{};
  const std::vector<Posicao> posicoes = posicoesPara(static_cast<uint32_t>(c.canais));
  mapa.channels = static_cast<uint8_t>(posicoes.size());
  for (size_t k = 0; k < posicoes.size() && k < PA_CHANNELS_MAX; ++k) mapa.map[k] = paraPulse(posicoes[k]);
  return mapa;
}

}  // namespace escuta
