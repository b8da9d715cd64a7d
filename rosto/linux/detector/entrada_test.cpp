// What the models are given: the letterbox and its values, and frames of
// any size and aspect through the whole detector.
#include "rosto/linux/detector/entrada.h"

#include <gtest/gtest.h>

#include <random>

#include "rosto/linux/detector/detector_mediapipe.h"

namespace rosto::detector {
namespace {

TEST(Entrada, CentradaEmPretoEntreMenosUmEUm) {
  const uint8_t rgb[] = {255, 0, 0, 0, 255, 0};  // red, then green
  std::vector<float> entrada(4 * 4 * 3, 7.0f), rascunho;
  const Moldura m = enquadrar(Imagem{2, 1, 6, rgb}, {0, 0, 2, 1}, 4, entrada.data(), rascunho);
  EXPECT_EQ(m.topo, 1);
  EXPECT_EQ(m.altura, 2);
  const float vermelho[] = {1.0f, 0.5f, -0.5f, -1.0f};  // bilinear, edges repeated
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const float* p = &entrada[(y * 4 + x) * 3];
      if (y == 0 || y == 3) {
        EXPECT_EQ(p[0], -1.0f) << y << "," << x;  // the border is black
      } else {
        EXPECT_FLOAT_EQ(p[0], vermelho[x]) << y << "," << x;
        EXPECT_FLOAT_EQ(p[1], -vermelho[x]) << y << "," << x;
        EXPECT_EQ(p[2], -1.0f);
      }
    }
  // Shrinking averages: a 4×4 checkerboard becomes mid-grey, 0.
  std::vector<uint8_t> xadrez(4 * 4 * 3);
  for (int k = 0; k < 16; ++k) std::fill_n(&xadrez[3 * k], 3, ((k / 4 + k % 4) % 2) ? 255 : 0);
  std::vector<float> pequena(2 * 2 * 3);
  enquadrar(Imagem{4, 4, 12, xadrez.data()}, {0, 0, 4, 4}, 2, pequena.data(), rascunho);
  for (float v : pequena) EXPECT_FLOAT_EQ(v, 0.0f);
}

TEST(Entrada, RecorteForaDaImagemFicaPreto) {
  const uint8_t rgb[] = {255, 255, 255};
  std::vector<float> entrada(8 * 8 * 3), rascunho;
  enquadrar(Imagem{1, 1, 3, rgb}, {5, 5, 3, 3}, 8, entrada.data(), rascunho);
  for (float v : entrada) EXPECT_EQ(v, -1.0f);
  EXPECT_EQ(cortarNaImagem({-3, 2, 10, 1}, 4, 2).largura, 4);
  EXPECT_EQ(cortarNaImagem({-3, 2, 10, 1}, 4, 2).altura, 0);
}

// Noise frames of every shape a run can give (1×1 up to 640 on the long
// side), rows padded as FFmpeg pads them: a list, never a read outside.
TEST(Entrada, QualquerTamanhoDeQuadroPeloDetector) {
  auto pedido = criarPedidoMediaPipe(ROSTO_MODELOS, {.trabalhadores = 2});
  ASSERT_TRUE(pedido.ok()) << pedido.erro().descricao;
  std::mt19937 sorte(5);
  for (const auto& [largura, altura] : std::vector<std::pair<int, int>>{
           {1, 1}, {1, 640}, {640, 1}, {2, 3}, {17, 640}, {640, 17}, {333, 222}, {640, 360}, {360, 640}, {641 / 2, 640}}) {
    const int passo = (largura * 3 + 63) / 64 * 64;
    std::vector<uint8_t> pixels(static_cast<size_t>(passo) * altura);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>(sorte());
    const Resultado<ListaDeRostos> r = pedido.valor()->executar(Imagem{largura, altura, passo, pixels.data()});
    ASSERT_TRUE(r.ok()) << largura << "x" << altura;
    EXPECT_TRUE(r.valor().has_value());
  }
}

}  // namespace
}  // namespace rosto::detector
