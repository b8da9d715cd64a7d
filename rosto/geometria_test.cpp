#include "rosto/geometria.h"

#include <gtest/gtest.h>

#include <cmath>

namespace rosto {
namespace {

struct Caso {
  Tamanho codificado;
  Transformacao transformacao;
  double largura, altura, escala, maxLargura, maxAltura;
};

TEST(Geometria, TabelaDeTamanhos) {
  const Transformacao identidade;
  const Transformacao quartoDeVolta{0, 1, -1, 0, 1080, 0};
  const Transformacao meiaVolta{-1, 0, 0, -1, 1280, 720};
  const Caso casos[] = {
      {{1920, 1080}, identidade, 1920, 1080, 1.0 / 3, 640, 360},
      {{1920, 1080}, quartoDeVolta, 1080, 1920, 1.0 / 3, 360, 640},
      {{1280, 720}, meiaVolta, 1280, 720, 0.5, 640, 360},
      {{3840, 2160}, identidade, 3840, 2160, 1.0 / 6, 640, 360},
      {{640, 480}, identidade, 640, 480, 1, 640, 480},
      {{320, 240}, identidade, 320, 240, 1, 320, 240},
      {{0, 0}, identidade, 0, 0, 1, 0, 0},
  };
  for (const Caso& c : casos) {
    const Tamanho girado = aplicarTransformacao(c.codificado, c.transformacao);
    const double largura = std::fabs(girado.largura), altura = std::fabs(girado.altura);
    EXPECT_EQ(largura, c.largura);
    EXPECT_EQ(altura, c.altura);
    const double escala = escalaPara(ladoMaiorDe(largura, altura));
    EXPECT_DOUBLE_EQ(escala, c.escala);
    EXPECT_NEAR(largura * escala, c.maxLargura, 1e-9);
    EXPECT_NEAR(altura * escala, c.maxAltura, 1e-9);
  }
}

TEST(Geometria, NaNNuncaAmplia) {
  EXPECT_EQ(escalaPara(NAN), 1.0);
  EXPECT_TRUE(std::isnan(ladoMaiorDe(NAN, 100)));
  EXPECT_EQ(ladoMaiorDe(100, NAN), 100);
}

}  // namespace
}  // namespace rosto
