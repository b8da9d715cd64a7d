#include "escuta/linux/pipewire/formato_pipewire.h"

#include "escuta/linux/posicoes.h"

namespace escuta {

namespace {

uint32_t paraSpa(Posicao p) {
  if (ehAuxiliar(p)) return SPA_AUDIO_CHANNEL_AUX0 + indiceAuxiliar(p);
  switch (p) {
    case Posicao::mono: return SPA_AUDIO_CHANNEL_MONO;
    case Posicao::frenteEsquerda: return SPA_AUDIO_CHANNEL_FL;
    case Posicao::frenteDireita: return SPA_AUDIO_CHANNEL_FR;
    case Posicao::centro: return SPA_AUDIO_CHANNEL_FC;
    case Posicao::graves: return SPA_AUDIO_CHANNEL_LFE;
    case Posicao::trasEsquerda: return SPA_AUDIO_CHANNEL_RL;
    case Posicao::trasDireita: return SPA_AUDIO_CHANNEL_RR;
    case Posicao::ladoEsquerdo: return SPA_AUDIO_CHANNEL_SL;
    case Posicao::ladoDireito: return SPA_AUDIO_CHANNEL_SR;
    case Posicao::trasCentro: return SPA_AUDIO_CHANNEL_RC;
    default: return SPA_AUDIO_CHANNEL_UNKNOWN;
  }
}

spa_audio_info_raw formato(const ConfiguracaoDoFluxo& c, const std::vector<Posicao>& posicoes) {
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_F32_LE;
  info.rate = static_cast<uint32_t>(c.taxa);
  info.channels = static_cast<uint32_t>(posicoes.size());
  for (size_t k = 0; k < posicoes.size() && k < SPA_AUDIO_MAX_CHANNELS; ++k) info.position[k] = paraSpa(posicoes[k]);
  return info;
}

}  // namespace

spa_audio_info_raw formatoPedido(const ConfiguracaoDoFluxo& c) {
  return formato(c, posicoesPara(static_cast<uint32_t>(c.canais)));
}

spa_audio_info_raw formatoDasPortas(const ConfiguracaoDoFluxo& c) {
  if (c.canais > 8) return formatoPedido(c);
  std::vector<Posicao> portas = posicoesPara(8);
  portas.push_back(Posicao::trasCentro);
  return formato(c, portas);
}

}  // namespace escuta
