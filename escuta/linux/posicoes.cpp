#include "escuta/linux/posicoes.h"

namespace escuta {

std::vector<Posicao> posicoesPara(uint32_t canais) {
  using P = Posicao;
  static const std::vector<std::vector<Posicao>> kConhecidas = {
      {P::mono},
      {P::frenteEsquerda, P::frenteDireita},
      {P::frenteEsquerda, P::frenteDireita, P::graves},
      {P::frenteEsquerda, P::frenteDireita, P::trasEsquerda, P::trasDireita},
      {P::frenteEsquerda, P::frenteDireita, P::centro, P::trasEsquerda, P::trasDireita},
      {P::frenteEsquerda, P::frenteDireita, P::centro, P::graves, P::trasEsquerda, P::trasDireita},
      {P::frenteEsquerda, P::frenteDireita, P::centro, P::graves, P::trasCentro, P::ladoEsquerdo, P::ladoDireito},
      {P::frenteEsquerda, P::frenteDireita, P::centro, P::graves, P::trasEsquerda, P::trasDireita, P::ladoEsquerdo,
       P::ladoDireito},
  };
  if (canais >= 1 && canais <= kConhecidas.size()) return kConhecidas[canais - 1];
  std::vector<Posicao> posicoes;
  for (uint32_t k = 0; k < canais; ++k) posicoes.push_back(auxiliar(k));
  return posicoes;
}

}  // namespace escuta
