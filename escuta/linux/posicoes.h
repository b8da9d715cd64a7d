#pragma once
#include <cstdint>

namespace escuta {

// The usual speaker layout for `canais` channels (mono, stereo, 2.1, quad,
// 5.0, 5.1, 6.1, 7.1), numbered auxiliary channels beyond.
void posicoesPara(uint32_t canais, uint32_t* posicoes);

}  // namespace escuta
