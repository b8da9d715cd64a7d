#pragma once
// Size arithmetic of the frame extractor's set-up.
#include "rosto/plataforma.h"

namespace rosto {

// (a·w + c·h, b·w + d·h); the translation plays no part. Either side may come out negative.
Tamanho aplicarTransformacao(Tamanho tamanho, const Transformacao& t);

// altura when largura <= altura, otherwise largura (so a NaN gives largura).
double ladoMaiorDe(double largura, double altura);

// min(640 / ladoMaior, 1) where a NaN quotient gives 1: frames never grow.
double escalaPara(double ladoMaior);

}  // namespace rosto
