#include "rosto/linux/detector_blazeface.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "rosto/linux/acervo_test.h"
#include "rosto/linux/blazeface.h"
#include "rosto/linux/video_ffmpeg.h"

namespace rosto {
namespace {

using acervo::foto;

class Detector : public ::testing::Test {
 protected:
  static std::vector<Rosto> rostos(const cv::Mat& rgb) { return acervo::rostosEm(acervo::detectorPadrao(), rgb); }
};

// Centre measured from the top, as records give it.
struct Esperado {
  double x, y, lado;
};

void confereUmRosto(const std::vector<Rosto>& achados, Esperado e, double tolerancia = 0.04) {
  ASSERT_EQ(achados.size(), 1u);
  const Rosto& r = achados[0];
  EXPECT_GE(r.confianca, 0.5f);
  EXPECT_NEAR(r.caixa.x + r.caixa.largura / 2, e.x, tolerancia);
  EXPECT_NEAR(1 - (r.caixa.y + r.caixa.altura / 2), e.y, tolerancia);
  EXPECT_NEAR(r.caixa.largura, e.lado, 0.08);
}

// Positions read off the photos by eye: the face between brows and chin.
const Esperado kGrace{0.51, 0.40, 0.34};      // 512×600
const Esperado kAstronauta{0.43, 0.23, 0.2};  // 512×512

TEST_F(Detector, FotosComUmRosto) {
  confereUmRosto(rostos(foto("grace_hopper.jpg")), kGrace);
  confereUmRosto(rostos(foto("astronaut.png")), kAstronauta);
}

TEST_F(Detector, FotoEspelhadaEspelhaORosto) {
  cv::Mat espelho;
  cv::flip(foto("grace_hopper.jpg"), espelho, 1);
  confereUmRosto(rostos(espelho), {1 - kGrace.x, kGrace.y, kGrace.lado});
}

// Pasting the photo into a larger canvas moves the face by a known amount;
// a lower-left/top-left mix-up in the mapping shows here as a wrong y.
TEST_F(Detector, ColadaNumaTelaMaiorSegueAPosicao) {
  const cv::Mat astronauta = foto("astronaut.png");
  for (const cv::Point onde : {cv::Point(40, 30), cv::Point(900, 400), cv::Point(600, 20)}) {
    cv::Mat tela(720, 1280, CV_8UC3, cv::Scalar(90, 110, 100));
    cv::Mat pequena;
    cv::resize(astronauta, pequena, cv::Size(256, 256), 0, 0, cv::INTER_AREA);
    pequena.copyTo(tela(cv::Rect(onde, pequena.size())));
    const double x = (onde.x + kAstronauta.x * 256) / 1280, y = (onde.y + kAstronauta.y * 256) / 720;
    confereUmRosto(rostos(tela), {x, y, kAstronauta.lado * 256 / 1280}, 0.02);
  }
}

TEST_F(Detector, FotosSemPessoas) {
  EXPECT_TRUE(rostos(foto("coffee.png")).empty());
  EXPECT_TRUE(rostos(foto("chelsea.png")).empty());
}

// A face to paste: the photo region around it and where the face sits in it.
struct Modelo {
  cv::Mat recorte;
  cv::Rect2d rosto;  // in the crop's pixels
};

Modelo modeloDe(const cv::Mat& foto, Esperado e, double margem) {
  const double lado = e.lado * foto.cols;
  const cv::Rect2d face(e.x * foto.cols - lado / 2, e.y * foto.rows - lado / 2, lado, lado);
  cv::Rect corte(cv::Point(static_cast<int>(face.x - margem * lado), static_cast<int>(face.y - margem * lado)),
                 cv::Point(static_cast<int>(face.br().x + margem * lado), static_cast<int>(face.br().y + margem * lado)));
  corte &= cv::Rect(0, 0, foto.cols, foto.rows);
  return {foto(corte).clone(), cv::Rect2d(face.x - corte.x, face.y - corte.y, face.width, face.height)};
}

// Many frames with faces of known size and place on face-free backgrounds.
TEST_F(Detector, AcertoEmQuadrosGerados) {
  const std::vector<Modelo> modelos{modeloDe(foto("grace_hopper.jpg"), kGrace, 0.5),
                                    modeloDe(foto("astronaut.png"), kAstronauta, 0.6)};
  std::vector<cv::Mat> fundos;
  for (const char* f : {"coffee.png", "chelsea.png"}) {
    cv::Mat fundo;
    cv::resize(foto(f), fundo, cv::Size(640, 360), 0, 0, cv::INTER_AREA);
    fundos.push_back(fundo);
  }
  fundos.push_back(cv::Mat(360, 640, CV_8UC3, cv::Scalar(120, 120, 120)));
  std::mt19937 sorte(7);
  std::map<bool, std::pair<int, int>> achadosPorTamanho;  // big (>= 35 px)? -> (found, total)
  int falsos = 0, quadros = 0, principalCerto = 0;
  for (; quadros < 120; ++quadros) {
    cv::Mat quadro = fundos[quadros % fundos.size()].clone();
    std::vector<cv::Rect2d> verdade;
    const int quantos = 1 + quadros % 3;
    for (int k = 0; k < quantos; ++k) {
      const Modelo& m = modelos[sorte() % modelos.size()];
      const double altura = std::uniform_real_distribution<double>(20, quantos == 1 ? 160 : 90)(sorte);
      const double escala = altura / m.rosto.height;
      cv::Mat colado;
      cv::resize(m.recorte, colado, cv::Size(), escala, escala, cv::INTER_AREA);
      if (sorte() % 2) cv::flip(colado, colado, 1);
      const int x0 = 213 * k + static_cast<int>(sorte() % std::max(1, 213 - colado.cols));
      const int y0 = static_cast<int>(sorte() % std::max(1, 360 - colado.rows));
      const cv::Rect onde = cv::Rect(x0, y0, colado.cols, colado.rows) & cv::Rect(0, 0, 640, 360);
      colado(cv::Rect(0, 0, onde.width, onde.height)).copyTo(quadro(onde));
      // The crop is centred on the face, so a mirror leaves the face where it was.
      const cv::Rect2d& rosto = m.rosto;
      verdade.emplace_back(x0 + rosto.x * escala, y0 + rosto.y * escala, rosto.width * escala, rosto.height * escala);
    }
    std::vector<bool> visto(verdade.size(), false);
    const std::vector<Rosto> achados = rostos(quadro);
    for (const Rosto& r : achados) {
      const Retangulo px{r.caixa.x * 640, (1 - r.caixa.y - r.caixa.altura) * 360, r.caixa.largura * 640,
                         r.caixa.altura * 360};
      bool casou = false;
      for (size_t k = 0; k < verdade.size(); ++k) {
        const Retangulo v{verdade[k].x, verdade[k].y, verdade[k].width, verdade[k].height};
        if (blazeface::iou(px, v) > 0.3) casou = visto[k] = true;
      }
      falsos += casou ? 0 : 1;
    }
    for (size_t k = 0; k < verdade.size(); ++k) {
      auto& [achado, total] = achadosPorTamanho[verdade[k].height >= 35];
      ++total;
      achado += visto[k] ? 1 : 0;
    }
    if (!achados.empty()) {
      size_t maior = 0;
      for (size_t k = 1; k < verdade.size(); ++k) maior = verdade[k].area() > verdade[maior].area() ? k : maior;
      principalCerto += visto[maior] ? 1 : 0;
    }
  }
  const auto taxa = [&](bool grande) {
    return static_cast<double>(achadosPorTamanho[grande].first) / achadosPorTamanho[grande].second;
  };
  RecordProperty("recall_grandes", std::to_string(taxa(true)));
  RecordProperty("recall_pequenos", std::to_string(taxa(false)));
  std::printf("recall >=35px %.3f (%d), <35px %.3f (%d), falsos/quadro %.3f\n", taxa(true),
              achadosPorTamanho[true].second, taxa(false), achadosPorTamanho[false].second,
              static_cast<double>(falsos) / quadros);
  EXPECT_GE(taxa(true), 0.95);
  EXPECT_GE(taxa(false), 0.9);
  EXPECT_LE(static_cast<double>(falsos) / quadros, 0.02);
}

TEST(BlazeFace, Ancoras) {
  const auto& a = blazeface::ancoras();
  ASSERT_EQ(a.size(), 896u);
  EXPECT_FLOAT_EQ(a[0].x, 0.03125f);
  EXPECT_FLOAT_EQ(a[0].y, 0.03125f);
  EXPECT_FLOAT_EQ(a[511].x, 0.96875f);
  EXPECT_FLOAT_EQ(a[511].y, 0.96875f);
  EXPECT_FLOAT_EQ(a[512].x, 0.0625f);
  EXPECT_FLOAT_EQ(a[512].y, 0.0625f);
  EXPECT_FLOAT_EQ(a[895].x, 0.9375f);
  EXPECT_FLOAT_EQ(a[895].y, 0.9375f);
  EXPECT_FLOAT_EQ(a[2].x, 0.09375f);  // the next cell along the row
}

TEST(BlazeFace, DecodificaCaixaEPontuacao) {
  std::vector<float> pontuacoes(512, -50.0f), regressores(512 * 16, 0.0f);
  pontuacoes[34] = 2.0f;  // cell 17: x 1, y 1
  float* r = &regressores[34 * 16];
  r[0] = 12.8f, r[1] = -25.6f, r[2] = 51.2f, r[3] = 25.6f;
  std::vector<blazeface::Candidato> c;
  blazeface::decodificar(pontuacoes.data(), regressores.data(), blazeface::ancoras(), 0, 512, 256, 0.65f, c);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_NEAR(c[0].pontuacao, 1 / (1 + std::exp(-2.0)), 1e-6);
  EXPECT_NEAR(c[0].xmin, 0.09375 + 0.05 - 0.1, 1e-6);
  EXPECT_NEAR(c[0].xmax, 0.09375 + 0.05 + 0.1, 1e-6);
  EXPECT_NEAR(c[0].ymin, 0.09375 - 0.1 - 0.05, 1e-6);
  r[2] = -1;  // a box of no width is dropped
  c.clear();
  blazeface::decodificar(pontuacoes.data(), regressores.data(), blazeface::ancoras(), 0, 512, 256, 0.65f, c);
  EXPECT_TRUE(c.empty());
}

TEST(BlazeFace, MolduraDe640Por360) {
  const blazeface::Moldura m = blazeface::molduraPara(640, 360, 256);
  EXPECT_EQ(m.esquerda, 0);
  EXPECT_EQ(m.topo, 56);  // 0.21875 of the side
  EXPECT_EQ(m.altura, 144);
  // The square's middle band maps exactly onto the whole frame.
  const Retangulo r = blazeface::noQuadro({0.25f, 0.21875f, 0.75f, 0.5f, 1}, m);
  EXPECT_DOUBLE_EQ(r.x, 0.25);
  EXPECT_DOUBLE_EQ(r.largura, 0.5);
  EXPECT_DOUBLE_EQ(r.altura, (0.5 - 0.21875) / 0.5625);
  EXPECT_DOUBLE_EQ(r.y, 1 - r.altura);  // a box at the frame's top has its lower edge high up
}

TEST(BlazeFace, Supressao) {
  EXPECT_EQ(blazeface::suprimir({{0.1f, 0.1f, 0.2f, 0.2f, 0.7f}}).size(), 1u);  // a lone box survives
  const auto fundidos = blazeface::suprimir({{0.1f, 0.1f, 0.3f, 0.3f, 0.6f}, {0.12f, 0.12f, 0.32f, 0.32f, 0.9f},
                                             {0.6f, 0.6f, 0.7f, 0.7f, 0.8f}});
  ASSERT_EQ(fundidos.size(), 2u);
  EXPECT_FLOAT_EQ(fundidos[0].pontuacao, 0.9f);  // best first, keeps its score
  EXPECT_NEAR(fundidos[0].xmin, (0.1 * 0.6 + 0.12 * 0.9) / 1.5, 1e-6);
  EXPECT_FLOAT_EQ(fundidos[1].pontuacao, 0.8f);
}

TEST(BlazeFace, RostosGrandesPrecisamDaOutraRede) {
  const Rosto pequeno{{0.1, 0.1, 0.1, 0.1}, 0.7f}, grande{{0.5, 0.2, 0.4, 0.6}, 0.8f};
  const Rosto frente{{0.52, 0.22, 0.38, 0.55}, 0.9f}, soDaFrente{{0.0, 0.5, 0.3, 0.45}, 0.6f};
  const auto semFrente = blazeface::combinar({pequeno, grande}, {}, 0.3, 0.5f);
  ASSERT_EQ(semFrente.size(), 1u);
  EXPECT_FLOAT_EQ(semFrente[0].confianca, 0.7f);
  const auto comFrente = blazeface::combinar({pequeno, grande}, {frente, soDaFrente}, 0.3, 0.5f);
  ASSERT_EQ(comFrente.size(), 3u);
  EXPECT_FLOAT_EQ(comFrente[1].confianca, 0.8f);  // the back model's box, confirmed
  EXPECT_FLOAT_EQ(comFrente[2].confianca, 0.6f);  // one only the front model saw
  EXPECT_EQ(blazeface::combinar({pequeno, grande}, {frente, soDaFrente}, 0.3, 0.7f).size(), 2u);
}

TEST(BlazeFace, Ladrilhos) {
  const auto l = blazeface::ladrilhosPara(640, 360);
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].x, 0);
  EXPECT_EQ(l[1].x, 280);
  EXPECT_EQ(l[1].lado, 360);
  EXPECT_EQ(blazeface::ladrilhosPara(360, 640)[1].y, 280);
  EXPECT_EQ(blazeface::ladrilhosPara(640, 274).size(), 3u);
  EXPECT_EQ(blazeface::ladrilhosPara(512, 480).size(), 1u);
  // The right tile's lower-left quarter, in the frame.
  const Retangulo r = blazeface::doLadrilho({0, 0, 0.5, 0.5}, l[1], 640, 360);
  EXPECT_DOUBLE_EQ(r.x, 280.0 / 640);
  EXPECT_DOUBLE_EQ(r.y, 0);
  EXPECT_DOUBLE_EQ(r.largura, 180.0 / 640);
  EXPECT_DOUBLE_EQ(r.altura, 0.5);
}

}  // namespace
}  // namespace rosto

namespace rosto {
namespace {

TEST(BlazeFace, OlharDePerto) {
  // A 20 px face centred at (100, 50) of a 640×360 frame, lower-left origin.
  const Retangulo caixa{90.0 / 640, 1 - 60.0 / 360, 20.0 / 640, 20.0 / 360};
  const blazeface::Recorte r = blazeface::recorteEmVolta(caixa, 3, 640, 360);
  EXPECT_EQ(r.x, 70);
  EXPECT_EQ(r.y, 20);
  EXPECT_EQ(r.largura, 60);
  EXPECT_EQ(r.altura, 60);
  // Cut where it passes the frame's edge.
  const blazeface::Recorte canto = blazeface::recorteEmVolta({0, 1 - 20.0 / 360, 20.0 / 640, 20.0 / 360}, 3, 640, 360);
  EXPECT_EQ(canto.x, 0);
  EXPECT_EQ(canto.y, 0);
  EXPECT_EQ(canto.largura, 40);
  EXPECT_EQ(canto.altura, 40);
  // A box that is not a number gives the whole frame, never a bad rectangle.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const blazeface::Recorte todo = blazeface::recorteEmVolta({nan, 0.5, 0.1, 0.1}, 3, 640, 360);
  EXPECT_EQ(todo.largura, 640);
  EXPECT_EQ(todo.altura, 360);
  // The crop's middle third, back in the frame, is the face again.
  const Retangulo volta = blazeface::doRecorte({1.0 / 3, 1.0 / 3, 1.0 / 3, 1.0 / 3}, r, 640, 360);
  EXPECT_NEAR(volta.x, caixa.x, 1e-12);
  EXPECT_NEAR(volta.y, caixa.y, 1e-12);
  EXPECT_NEAR(volta.largura, caixa.largura, 1e-12);
  EXPECT_NEAR(volta.altura, caixa.altura, 1e-12);
}

}  // namespace
}  // namespace rosto
