#pragma once
#include <cstdint>

namespace escuta {

// The usual speaker layout for `canais` channels (mono, stereo, 2.1, quad,
// 5.0, 5.1, 6.1, 7.1), numbered auxiliary channels beyond.
void posicoesPara(uint32_t canais, uint32_t* posicoes);

// The capture node's input ports: every speaker position a program or device
// commonly plays (7.1 and the rear centre), so each source channel lands on
// its own position and PipeWire's channel mixer folds them into the requested
// layout. Beyond eight channels the requested layout itself. Gives the count.
uint32_t posicoesDasPortas(uint32_t canais, uint32_t* posicoes);

}  // namespace escuta
