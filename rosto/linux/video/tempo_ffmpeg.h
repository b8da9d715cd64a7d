#pragma once
// Exact comparisons between stream timestamps and requested times.
#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

namespace rosto::ffmpeg {

// A time of numerador / denominador seconds, denominador > 0.
struct Fracao {
  int64_t numerador = 0;
  int64_t denominador = 1;
};

inline Fracao somar(Fracao x, Fracao y) {
  return {x.numerador * y.denominador + y.numerador * x.denominador, x.denominador * y.denominador};
}

// Sign of (pts · base) − f, computed without rounding.
inline int comparar(int64_t pts, AVRational base, Fracao f) {
  const __int128 esquerda = static_cast<__int128>(pts) * base.num * f.denominador;
  const __int128 direita = static_cast<__int128>(f.numerador) * base.den;
  return esquerda < direita ? -1 : (esquerda > direita ? 1 : 0);
}

// The smallest pts whose time is at or after f.
inline int64_t primeiroPtsEm(Fracao f, AVRational base) {
  const __int128 num = static_cast<__int128>(f.numerador) * base.den;
  const __int128 den = static_cast<__int128>(f.denominador) * base.num;
  __int128 q = num / den;
  if (q * den < num) ++q;  // round towards +inf
  if (q > INT64_MAX / 2) return INT64_MAX / 2;
  if (q < INT64_MIN / 2) return INT64_MIN / 2;
  return static_cast<int64_t>(q);
}

// The stream's nominal frame spacing in its time base; 0 when it declares no rate.
inline int64_t intervaloNominal(const AVStream& s) {
  const AVRational taxa = s.avg_frame_rate.num > 0 ? s.avg_frame_rate : s.r_frame_rate;
  if (taxa.num <= 0 || taxa.den <= 0) return 0;
  return av_rescale_q(1, av_inv_q(taxa), s.time_base);
}

}  // namespace rosto::ffmpeg
