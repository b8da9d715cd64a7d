#include "rosto/linux/video/orientacao.h"

#include <cmath>
#include <cstring>

namespace rosto {

namespace {
int sinal(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }
}  // namespace

Orientacao orientacaoDe(const Transformacao& t) {
  // Whichever of the two readings dominates decides; odd angles snap to a quarter turn.
  if (std::fabs(t.a) + std::fabs(t.d) >= std::fabs(t.b) + std::fabs(t.c)) {
    const int a = sinal(t.a), d = sinal(t.d);
    if (a != 0 && d != 0) return {a, 0, 0, d};
    return {};
  }
  const int b = sinal(t.b), c = sinal(t.c);
  if (b != 0 && c != 0) return {0, b, c, 0};
  return {};
}

Tamanho orientar(const uint8_t* origem, int largura, int altura, int bytesPorLinha, Orientacao o,
                 std::vector<uint8_t>& destino) {
  const int W = o.trocaEixos() ? altura : largura;
  const int H = o.trocaEixos() ? largura : altura;
  destino.resize(static_cast<size_t>(W) * H * 3);
  const int ox = (o.a < 0 ? largura - 1 : 0) + (o.c < 0 ? altura - 1 : 0);
  const int oy = (o.b < 0 ? largura - 1 : 0) + (o.d < 0 ? altura - 1 : 0);
  for (int y = 0; y < altura; ++y) {
    const uint8_t* linha = origem + static_cast<size_t>(y) * bytesPorLinha;
    for (int x = 0; x < largura; ++x) {
      const int xd = o.a * x + o.c * y + ox;
      const int yd = o.b * x + o.d * y + oy;
      std::memcpy(&destino[(static_cast<size_t>(yd) * W + xd) * 3], linha + x * 3, 3);
    }
  }
  return {static_cast<double>(W), static_cast<double>(H)};
}

}  // namespace rosto
