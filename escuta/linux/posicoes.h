#pragma once
// Speaker positions of the captured channels, named apart from any sound
// server so that every backend asks its server for the same layout.
#include <cstdint>
#include <vector>

namespace escuta {

enum class Posicao : uint32_t {
  mono,
  frenteEsquerda,
  frenteDireita,
  centro,
  graves,
  trasEsquerda,
  trasDireita,
  ladoEsquerdo,
  ladoDireito,
  trasCentro,
  auxiliar0,  // auxiliar0 + k: the k-th channel with no speaker of its own
};

inline Posicao auxiliar(uint32_t k) { return static_cast<Posicao>(static_cast<uint32_t>(Posicao::auxiliar0) + k); }
inline bool ehAuxiliar(Posicao p) { return p >= Posicao::auxiliar0; }
inline uint32_t indiceAuxiliar(Posicao p) { return static_cast<uint32_t>(p) - static_cast<uint32_t>(Posicao::auxiliar0); }

// The usual speaker layout for `canais` channels (mono, stereo, 2.1, quad,
// 5.0, 5.1, 6.1, 7.1), numbered auxiliary channels beyond.
std::vector<Posicao> posicoesPara(uint32_t canais);

}  // namespace escuta
