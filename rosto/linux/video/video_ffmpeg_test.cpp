#include "rosto/linux/video/video_ffmpeg.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <iterator>

#include "rosto/linux/video/clipes_test.h"

namespace rosto {
namespace {

using teste::Clipes;
using teste::clipeNumerado;
using teste::numeroDoQuadro;

std::unique_ptr<Gerador> geradorPara(Ativo& ativo, Tamanho maximo = {640, 640}) {
  AjustesDoGerador a;
  a.toleranciaDepois = {1, 30};
  a.tamanhoMaximo = maximo;
  return ativo.criarGerador(a);
}

Tempo em(double t) { return {static_cast<int64_t>(std::llround(t * 600)), 600}; }

std::array<uint8_t, 3> pixel(const Imagem& i, int x, int y) {
  const uint8_t* p = i.rgb + static_cast<size_t>(y) * i.bytesPorLinha + x * 3;
  return {p[0], p[1], p[2]};
}

// The frame number shown at each requested time; -1 for an error.
std::vector<int> quadrosEm(const std::string& caminho, const std::vector<double>& tempos) {
  auto ativo = abrirAtivoFFmpeg(caminho);
  auto gerador = geradorPara(*ativo);
  std::vector<int> vistos;
  for (double t : tempos) {
    Resultado<Imagem> r = gerador->imagemEm(em(t));
    vistos.push_back(r.ok() ? numeroDoQuadro(pixel(r.valor(), 32, 24)[0]) : -1);
  }
  return vistos;
}

std::vector<double> acumulados(double passo, double limite) {
  std::vector<double> t;
  for (double v = 0; v < limite; v += passo) t.push_back(v);
  return t;
}

class Video : public ::testing::Test {
 protected:
  Clipes clipes;
};

TEST_F(Video, QuadroEscolhidoA30QuadrosPorSegundo) {
  const std::string c = clipeNumerado(clipes, "30.mp4", 60, "30");
  // 0.2 s steps, accumulated: 0.6000000000000001 must still ask for frame 18.
  EXPECT_EQ(quadrosEm(c, acumulados(0.2, 2.0)), (std::vector<int>{0, 6, 12, 18, 24, 30, 36, 42, 48, 54, 59}));
}

TEST_F(Video, SemQuadroNaJanelaUsaOQueEstaNaTela) {
  const std::string c = clipeNumerado(clipes, "10.mp4", 20, "10");
  // 0.2 steps land on frames; 1/3 s steps fall between them (the next one is 1/15 s away).
  EXPECT_EQ(quadrosEm(c, acumulados(0.2, 2.0)), (std::vector<int>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 19}));
  // 0.6667 asks 400/600 and frame 7 starts at 420/600: exactly 1/30 s later, still in.
  // The seventh time adds up to just under 2.0, the end: the last frame.
  EXPECT_EQ(quadrosEm(c, acumulados(1.0 / 3, 2.0)), (std::vector<int>{0, 3, 7, 10, 13, 17, 19}));
  // Within 1/30 s after the request the later frame wins.
  EXPECT_EQ(quadrosEm(c, {0.065, 0.07, 0.1}), (std::vector<int>{0, 1, 1}));
}

TEST_F(Video, TaxaVariavel) {
  // Frames at 0, 0.1, 0.2, 0.3, 0.4, then 1.0, 1.5, 2.0, 2.5, 3.0 and 3.5: the
  // last one only closes the one at 3.0, whose length FFmpeg releases set apart.
  const std::string c = clipeNumerado(clipes, "vfr.mp4", 11, "10",
                                      "-vf \"setpts='if(lt(N,5),N*0.1,(N-3)*0.5)/TB'\" -fps_mode vfr");
  EXPECT_EQ(quadrosEm(c, {0.0, 0.35, 0.5, 0.99, 1.0, 1.2, 1.98, 2.6, 3.0}),
            (std::vector<int>{0, 3, 4, 5, 5, 5, 7, 8, 9}));
}

TEST_F(Video, FimDoVideo) {
  const std::string c = clipeNumerado(clipes, "fim.mp4", 30, "30");
  auto ativo = abrirAtivoFFmpeg(c);
  EXPECT_DOUBLE_EQ(ativo->duracao(), 1.0);
  EXPECT_EQ(quadrosEm(c, {0.99, 1.0, 1.02, 1.04, 5.0}), (std::vector<int>{29, 29, 29, -1, -1}));
}

TEST_F(Video, SaltaEntreGruposSemMudarOQuadro) {
  // Keyframes every 10 frames; sparse samples make the extractor seek.
  const std::string c = clipes.fazer("gop.mp4",
                                     "-f lavfi -i \"nullsrc=s=64x48:r=30,format=yuv420p,geq=lum='16+3*mod(N,70)':cb=128:cr=128\" "
                                     "-frames:v 300 -c:v libx264 -qp 0 -g 10 -bf 2");
  std::vector<int> esperado, antesDoChave;
  std::vector<double> tempos;
  for (int k = 0; k < 10; ++k) {
    esperado.push_back((k * 30) % 70);
    antesDoChave.push_back((k * 30 + 29) % 70);  // the frame just before a keyframe
    tempos.push_back(k + 0.95);
  }
  EXPECT_EQ(quadrosEm(c, acumulados(1.0, 10.0)), esperado);
  EXPECT_EQ(quadrosEm(c, tempos), antesDoChave);
}

// Noise in the top rows makes the file far larger than FFmpeg's read buffer,
// so frames keep being read long after the file was opened.
TEST_F(Video, ArquivoMaiorQueOBufferDeLeitura) {
  const std::string c = clipes.fazer("grande.mp4",
                                     "-f lavfi -i \"nullsrc=s=64x48:r=30,format=yuv420p,"
                                     "geq=lum='if(lt(Y,8),random(1)*255,16+3*mod(N,70))':cb=128:cr=128\" "
                                     "-frames:v 300 -c:v libx264 -qp 0");
  std::vector<int> esperado;
  for (int k = 0; k < 10; ++k) esperado.push_back((k * 30) % 70);
  EXPECT_EQ(quadrosEm(c, acumulados(1.0, 10.0)), esperado);
}

TEST_F(Video, EscalaParaCaberSemAmpliar) {
  const std::string grande = clipes.fazer("g.mp4", "-f lavfi -i color=c=gray:s=1920x1080:r=5 -frames:v 2 -c:v libx264");
  auto ativo = abrirAtivoFFmpeg(grande);
  auto gerador = geradorPara(*ativo, {640, 360});
  auto r = gerador->imagemEm(em(0));
  ASSERT_TRUE(r.ok()) << r.erro().descricao;
  EXPECT_EQ(r.valor().largura, 640);
  EXPECT_EQ(r.valor().altura, 360);
  const std::string pequeno = clipes.fazer("p.mp4", "-f lavfi -i color=c=gray:s=320x240:r=5 -frames:v 2 -c:v libx264");
  auto ativoP = abrirAtivoFFmpeg(pequeno);
  auto geradorP = geradorPara(*ativoP, {320, 240});
  auto rp = geradorP->imagemEm(em(0));
  ASSERT_TRUE(rp.ok());
  EXPECT_EQ(rp.valor().largura, 320);
  EXPECT_EQ(rp.valor().altura, 240);
}

// Encoded frames are blue with a red top-left corner; the display matrix turns them.
class Rotacao : public Video {
 protected:
  std::string base() {
    return clipes.fazer("base.mp4",
                        "-f lavfi -i \"color=c=blue:s=64x48:r=10,drawbox=x=0:y=0:w=16:h=12:c=red:t=fill\" "
                        "-frames:v 5 -pix_fmt yuv420p -c:v libx264");
  }
  std::string girado(int graus) {
    const std::string b = base();
    return clipes.fazer("rot" + std::to_string(graus) + ".mp4", teste::argumentosDeGiro(b, graus));
  }
  // Which displayed corner is red: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right.
  static int cantoVermelho(const Imagem& i) {
    const int xs[] = {2, i.largura - 3, 2, i.largura - 3}, ys[] = {2, 2, i.altura - 3, i.altura - 3};
    int achado = -1;
    for (int k = 0; k < 4; ++k)
      if (pixel(i, xs[k], ys[k])[0] > 200 && pixel(i, xs[k], ys[k])[2] < 60) achado = achado == -1 ? k : -2;
    return achado;
  }
  void confere(const std::string& caminho, double largura, double altura, int canto) {
    auto ativo = abrirAtivoFFmpeg(caminho);
    const auto faixas = ativo->faixasDeVideo();
    ASSERT_EQ(faixas.size(), 1u);
    const Transformacao& t = faixas[0].transformacaoPreferida;
    const Tamanho& n = faixas[0].tamanhoNatural;
    EXPECT_EQ(std::fabs(t.a * n.largura + t.c * n.altura), largura);
    EXPECT_EQ(std::fabs(t.b * n.largura + t.d * n.altura), altura);
    auto gerador = geradorPara(*ativo);  // the image is the generator's: keep it alive
    auto r = gerador->imagemEm(em(0));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.valor().largura, largura);
    EXPECT_EQ(r.valor().altura, altura);
    EXPECT_EQ(cantoVermelho(r.valor()), canto);
  }
};

TEST_F(Rotacao, QuartosDeVoltaEMeiaVolta) {
  confere(base(), 64, 48, 0);
  confere(girado(90), 48, 64, 2);   // counterclockwise: top-left goes to bottom-left
  confere(girado(180), 64, 48, 3);
  confere(girado(270), 48, 64, 1);
}

// FFmpeg's muxer cannot write a mirror, so the track header's matrix is patched.
TEST_F(Rotacao, Espelhado) {
  const std::string caminho = base();
  std::fstream f(caminho, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t tkhd = bytes.find("tkhd");
  ASSERT_NE(tkhd, std::string::npos);
  ASSERT_EQ(bytes[tkhd + 4], 0);  // version 0 layout
  const uint32_t matriz[9] = {0xFFFF0000u, 0, 0, 0, 0x00010000u, 0, 64u << 16, 0, 0x40000000u};
  f.seekp(static_cast<std::streamoff>(tkhd + 44));
  for (uint32_t v : matriz) {
    const char be[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    f.write(be, 4);
  }
  f.close();
  confere(caminho, 64, 48, 1);
}

TEST_F(Video, RecipientesEDuracoes) {
  const std::string gerador = "-f lavfi -i testsrc=s=320x240:r=25 -t 2";
  const std::string mkv = clipes.fazer("a.mkv", gerador + " -c:v libx264");
  const std::string mov = clipes.fazer("a.mov", gerador + " -c:v libx264");
  for (const std::string& c : {mkv, mov}) {
    auto a = abrirAtivoFFmpeg(c);
    ASSERT_EQ(a->faixasDeVideo().size(), 1u) << c;
    EXPECT_NEAR(a->duracao(), 2.0, 0.05) << c;
    EXPECT_TRUE(geradorPara(*a)->imagemEm(em(1.0)).ok()) << c;
  }
  // Written to a pipe, WebM carries neither duration nor cues: it is measured.
  const std::string webm = clipes.caminho("vivo.webm");
  teste::rodarComando("ffmpeg -nostdin -v error " + gerador +
                      " -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -f webm - > '" + webm + "'");
  auto w = abrirAtivoFFmpeg(webm);
  EXPECT_NEAR(w->duracao(), 2.0, 0.05);
  auto g = geradorPara(*w);
  EXPECT_TRUE(g->imagemEm(em(1.0)).ok());
  EXPECT_TRUE(g->imagemEm(em(1.98)).ok());
}

TEST_F(Video, InicioDiferenteDeZeroContaDoPrimeiroQuadro) {
  for (const char* nome : {"tarde.mp4", "tarde.mkv", "tarde.ts"}) {
    const std::string c = clipeNumerado(clipes, nome, 30, "30", "-output_ts_offset 5");
    auto a = abrirAtivoFFmpeg(c);
    EXPECT_NEAR(a->duracao(), 1.0, 0.05) << nome;
    EXPECT_EQ(quadrosEm(c, {0.0, 0.5, 0.99}), (std::vector<int>{0, 15, 29})) << nome;
  }
}

TEST_F(Video, ArquivosSemVideo) {
  std::ofstream(clipes.caminho("texto.mp4")) << "isto não é vídeo\n";
  std::ofstream(clipes.caminho("vazio.mp4"));
  const std::string audio = clipes.fazer("som.m4a", "-f lavfi -i sine=d=1 -c:a aac");
  const std::string capa = clipes.fazer("capa.png", "-f lavfi -i color=c=red:s=8x8 -frames:v 1");
  const std::string musica = clipes.fazer("musica.mp4", "-f lavfi -i sine=d=1 -i '" + capa +
                                                           "' -map 0 -map 1 -c:a aac -c:v png -disposition:v attached_pic");
  for (const std::string& c : {clipes.caminho("texto.mp4"), clipes.caminho("vazio.mp4"), audio, musica,
                               clipes.caminho("falta.mp4"), clipes.caminho(""), std::string("/dev/zero")})
    EXPECT_TRUE(abrirAtivoFFmpeg(c)->faixasDeVideo().empty()) << c;
}

}  // namespace
}  // namespace rosto
