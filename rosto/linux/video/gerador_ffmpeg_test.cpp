#include "rosto/linux/video/gerador_ffmpeg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rosto/linux/video/clipes_test.h"
#include "rosto/linux/video/video_ffmpeg.h"

namespace rosto {
namespace {

using teste::Clipes;

struct Formato {
  const char* codec;
  const char* pixels;
  const char* extensao;
};

std::unique_ptr<Gerador> geradorPara(Ativo& ativo) {
  AjustesDoGerador a;
  a.toleranciaDepois = {1, 30};
  a.tamanhoMaximo = {640, 640};
  return ativo.criarGerador(a);
}

Tempo em(double t) { return {static_cast<int64_t>(t * 600), 600}; }

bool vermelho(const Imagem& i, int x, int y) {
  const uint8_t* p = i.rgb + static_cast<size_t>(y) * i.bytesPorLinha + x * 3;
  return p[0] > 200 && p[1] < 60 && p[2] < 60;
}

class QuadrosPequenos : public ::testing::Test {
 protected:
  // Three red frames at 10 per second; every pixel of every frame must come out red.
  void confere(const Formato& f, int largura, int altura) {
    const std::string nome = std::string(f.codec) + "-" + f.pixels + "-" + std::to_string(largura) + "x" +
                             std::to_string(altura) + "." + f.extensao;
    SCOPED_TRACE(nome);
    const std::string c = clipes.fazer(nome, "-f lavfi -i color=c=red:s=" + std::to_string(largura) + "x" +
                                                 std::to_string(altura) + ":r=10,format=" + f.pixels +
                                                 " -frames:v 3 -c:v " + f.codec);
    auto ativo = abrirAtivoFFmpeg(c);
    const auto faixas = ativo->faixasDeVideo();
    ASSERT_EQ(faixas.size(), 1u);
    EXPECT_EQ(faixas[0].tamanhoNatural.largura, largura);
    EXPECT_EQ(faixas[0].tamanhoNatural.altura, altura);
    auto gerador = geradorPara(*ativo);
    for (double t : {0.0, 0.1, 0.2}) {
      Resultado<Imagem> r = gerador->imagemEm(em(t));
      ASSERT_TRUE(r.ok()) << r.erro().descricao;
      const Imagem& i = r.valor();
      ASSERT_GE(i.bytesPorLinha, i.largura * 3);
      for (int y = 0; y < i.altura; ++y)
        for (int x = 0; x < i.largura; ++x) ASSERT_TRUE(vermelho(i, x, y)) << x << "," << y << " t=" << t;
    }
  }

  Clipes clipes;
};

// libswscale writes past tight rows; these sizes used to corrupt the heap.
TEST_F(QuadrosPequenos, QuatroDoisZeroEmTamanhosPares) {
  const Formato formatos[] = {{"libx264", "yuv420p", "mp4"},
                              {"libx264", "yuv420p10le", "mp4"},
                              {"mjpeg", "yuvj420p", "avi"},
                              {"libvpx-vp9", "yuv420p", "webm"}};
  for (const Formato& f : formatos)
    for (auto [l, a] : {std::pair{2, 2}, {4, 4}, {8, 8}, {10, 6}, {16, 8}, {640, 360}}) confere(f, l, a);
}

TEST_F(QuadrosPequenos, QuatroQuatroQuatroEmTamanhosImpares) {
  const Formato formatos[] = {{"libx264", "yuv444p", "mp4"},
                              {"libx264", "yuv444p10le", "mkv"},
                              {"mjpeg", "yuvj444p", "avi"}};
  for (const Formato& f : formatos)
    for (auto [l, a] : {std::pair{1, 1}, {2, 2}, {17, 9}, {639, 361}}) confere(f, l, a);
}

// 641 × 361 is scaled into the 640 box: the scaler's own edge handling.
TEST_F(QuadrosPequenos, UmPixelAlemDaCaixa) {
  const std::string c = clipes.fazer("641.mkv", "-f lavfi -i color=c=red:s=641x361:r=10,format=yuv444p "
                                                "-frames:v 2 -c:v libx264");
  auto ativo = abrirAtivoFFmpeg(c);
  auto gerador = geradorPara(*ativo);  // owns the image
  auto r = gerador->imagemEm(em(0));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.valor().largura, 640);
  EXPECT_EQ(r.valor().altura, 360);
  EXPECT_TRUE(vermelho(r.valor(), 639, 359));
}

TEST(Limites, QuadroMaiorQueOLimiteNaoEDecodificado) {
  Clipes clipes;
  const std::string c = clipes.fazer("g.mp4", "-f lavfi -i color=c=red:s=1280x720:r=10 -frames:v 3 -c:v libx264");
  auto ativo = abrirAtivoFFmpeg(c, {.pixels = 640 * 480});
  ASSERT_EQ(ativo->faixasDeVideo().size(), 1u);  // declared, so still a video
  Resultado<Imagem> r = geradorPara(*ativo)->imagemEm(em(0));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.erro().descricao, "quadro grande demais: 1280x720");
}

TEST(Limites, DecodificacaoParaNoLimiteDeQuadros) {
  Clipes clipes;
  const std::string c = teste::clipeNumerado(clipes, "n.mp4", 10, "10");
  auto ativo = abrirAtivoFFmpeg(c, {.quadros = 2});
  auto gerador = geradorPara(*ativo);
  const auto numero = [&](double t) {
    Resultado<Imagem> r = gerador->imagemEm(em(t));
    return r.ok() ? teste::numeroDoQuadro(r.valor().rgb[0]) : -1;
  };
  EXPECT_EQ(numero(0.0), 0);
  EXPECT_EQ(numero(0.1), 1);
  EXPECT_EQ(numero(0.5), 1);  // frame 5 is never decoded: the last one decoded stands
}

}  // namespace
}  // namespace rosto
