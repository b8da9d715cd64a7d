#include "escuta/linux/posicoes.h"

#include <spa/param/audio/raw.h>

#include <vector>

namespace escuta {

void posicoesPara(uint32_t canais, uint32_t* posicoes) {
  static const std::vector<std::vector<uint32_t>> kConhecidas = {
      {SPA_AUDIO_CHANNEL_MONO},
      {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR},
      {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR, SPA_AUDIO_CHANNEL_LFE},
      {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR, SPA_AUDIO_CHANNEL_RL, SPA_AUDIO_CHANNEL_RR},
      {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR, SPA_AUDIO_CHANNEL_FC, SPA_AUDIO_CHANNEL_RL, SPA_AUDIO_CHANNEL_RR},
      {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR, SPA_AUDIO_CHANNEL_FC, SPA_AUDIO_CHANNEL_LFE, SPA_AUDIO_CHANNEL_RL,
       SPA_AUDIO_CHANNEL_RR},
      {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR, SPA_AUDIO_CHANNEL_FC, SPA_AUDIO_CHANNEL_LFE, SPA_AUDIO_CHANNEL_RC,
       SPA_AUDIO_CHANNEL_SL, SPA_AUDIO_CHANNEL_SR},
      {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR, SPA_AUDIO_CHANNEL_FC, SPA_AUDIO_CHANNEL_LFE, SPA_AUDIO_CHANNEL_RL,
       SPA_AUDIO_CHANNEL_RR, SPA_AUDIO_CHANNEL_SL, SPA_AUDIO_CHANNEL_SR},
  };
  if (canais >= 1 && canais <= kConhecidas.size()) {
    for (uint32_t k = 0; k < canais; ++k) posicoes[k] = kConhecidas[canais - 1][k];
    return;
  }
  for (uint32_t k = 0; k < canais; ++k) posicoes[k] = SPA_AUDIO_CHANNEL_AUX0 + k;
}

uint32_t posicoesDasPortas(uint32_t canais, uint32_t* posicoes) {
  if (canais > 8) {
    posicoesPara(canais, posicoes);
    return canais;
  }
  posicoesPara(8, posicoes);
  posicoes[8] = SPA_AUDIO_CHANNEL_RC;
  return 9;
}

}  // namespace escuta
