#include "rosto/geometria.h"

#include <cmath>

namespace rosto {

Tamanho aplicarTransformacao(Tamanho tamanho, const Transformacao& t) {
  return {t.a * tamanho.largura + t.c * tamanho.altura, t.b * tamanho.largura + t.d * tamanho.altura};
}

double ladoMaiorDe(double largura, double altura) { return largura <= altura ? altura : largura; }

double escalaPara(double ladoMaior) { return std::fmin(640.0 / ladoMaior, 1.0); }

}  // namespace rosto
