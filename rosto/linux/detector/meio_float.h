#pragma once
// IEEE half-precision (binary16) to float, exactly: every half is a float.
#include <cstdint>
#include <cstring>

namespace rosto::detector {

inline float floatDeMeio(uint16_t meio) {
  const uint32_t sinal = static_cast<uint32_t>(meio & 0x8000u) << 16;
  const uint32_t expoente = (meio >> 10) & 0x1Fu;
  uint32_t mantissa = meio & 0x3FFu;
  uint32_t bits;
  if (expoente == 0x1F) {
    bits = sinal | 0x7F800000u | (mantissa << 13);  // infinity or NaN
  } else if (expoente != 0) {
    bits = sinal | ((expoente + 112) << 23) | (mantissa << 13);
  } else if (mantissa == 0) {
    bits = sinal;  // signed zero
  } else {
    // A subnormal half: shift until the leading one is the implicit bit.
    int e = 113;
    while (!(mantissa & 0x400u)) {
      mantissa <<= 1;
      --e;
    }
    bits = sinal | (static_cast<uint32_t>(e) << 23) | ((mantissa & 0x3FFu) << 13);
  }
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

}  // namespace rosto::detector
