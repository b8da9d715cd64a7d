#include "rosto/linux/video/orientacao.h"

#include <gtest/gtest.h>

namespace rosto {
namespace {

// A 3×2 image whose pixel (x, y) holds the value 10·y + x in every channel.
std::vector<uint8_t> pequena() {
  std::vector<uint8_t> p;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) p.insert(p.end(), 3, static_cast<uint8_t>(10 * y + x));
  return p;
}

// Rows of the displayed image, by the pixel values they hold.
std::vector<std::vector<int>> linhas(const Transformacao& t) {
  const std::vector<uint8_t> origem = pequena();
  std::vector<uint8_t> destino;
  const Tamanho tam = orientar(origem.data(), 3, 2, 9, orientacaoDe(t), destino);
  std::vector<std::vector<int>> r(static_cast<size_t>(tam.altura));
  for (int y = 0; y < tam.altura; ++y)
    for (int x = 0; x < tam.largura; ++x) r[y].push_back(destino[(y * static_cast<int>(tam.largura) + x) * 3]);
  return r;
}

TEST(Orientacao, AsOitoFormas) {
  using L = std::vector<std::vector<int>>;
  EXPECT_EQ(linhas({1, 0, 0, 1, 0, 0}), (L{{0, 1, 2}, {10, 11, 12}}));
  EXPECT_EQ(linhas({-1, 0, 0, -1, 0, 0}), (L{{12, 11, 10}, {2, 1, 0}}));
  EXPECT_EQ(linhas({-1, 0, 0, 1, 0, 0}), (L{{2, 1, 0}, {12, 11, 10}}));     // mirror
  EXPECT_EQ(linhas({1, 0, 0, -1, 0, 0}), (L{{10, 11, 12}, {0, 1, 2}}));     // upside-down mirror
  EXPECT_EQ(linhas({0, 1, -1, 0, 0, 0}), (L{{10, 0}, {11, 1}, {12, 2}}));   // clockwise quarter
  EXPECT_EQ(linhas({0, -1, 1, 0, 0, 0}), (L{{2, 12}, {1, 11}, {0, 10}}));   // counterclockwise
  EXPECT_EQ(linhas({0, 1, 1, 0, 0, 0}), (L{{0, 10}, {1, 11}, {2, 12}}));    // transpose
  EXPECT_EQ(linhas({0, -1, -1, 0, 0, 0}), (L{{12, 2}, {11, 1}, {10, 0}}));  // anti-transpose
}

TEST(Orientacao, MatrizesComEscalaOuAnguloQuebrado) {
  EXPECT_TRUE(orientacaoDe({2, 0, 0, 2, 0, 0}).identidade());
  EXPECT_TRUE(orientacaoDe({0.9, 0.1, -0.1, 0.9, 0, 0}).identidade());  // a slight tilt snaps back
  EXPECT_TRUE(orientacaoDe({0.1, 0.9, -0.9, 0.1, 0, 0}).trocaEixos());
  EXPECT_TRUE(orientacaoDe({0, 0, 0, 0, 0, 0}).identidade());  // degenerate: shown as stored
}

}  // namespace
}  // namespace rosto
