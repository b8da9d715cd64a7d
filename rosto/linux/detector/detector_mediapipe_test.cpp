#include "rosto/linux/detector/detector_mediapipe.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "rosto/linux/acervo_test.h"
#include "rosto/linux/detector/decodificacao.h"
#include "rosto/linux/video/video_ffmpeg.h"

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
        if (detector::iou(px, v) > 0.3) casou = visto[k] = true;
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

// MediaPipe's anchor layouts for its two face models.
TEST(Decodificacao, Ancoras) {
  const auto total = detector::ancorasSsd({192, {4}, false});
  ASSERT_EQ(total.size(), 2304u);  // 48×48, one per cell
  EXPECT_FLOAT_EQ(total[0].x, 0.5f / 48);
  EXPECT_FLOAT_EQ(total[49].y, 1.5f / 48);
  const auto curto = detector::ancorasSsd({128, {8, 16, 16, 16}, true});
  ASSERT_EQ(curto.size(), 896u);  // 16×16×2, then 8×8×6
  EXPECT_FLOAT_EQ(curto[1].x, 0.5f / 16);
  EXPECT_FLOAT_EQ(curto[512].x, 0.5f / 8);
  EXPECT_FLOAT_EQ(curto[517].x, 0.5f / 8);
  EXPECT_FLOAT_EQ(curto[518].x, 1.5f / 8);
}

TEST(Decodificacao, CaixaEPontuacao) {
  const std::vector<detector::Ancora> ancoras{{0.25f, 0.5f}, {0.75f, 0.5f}};
  std::vector<float> pontuacoes{0.0f, 1000.0f}, regressores(32, 0.0f);
  regressores[16] = 19.2f;  // x offset: a tenth of the 192 px side
  regressores[18] = regressores[19] = 38.4f;
  std::vector<detector::Candidato> c;
  detector::decodificar(pontuacoes.data(), regressores.data(), ancoras, 192, 0.6f, c);
  ASSERT_EQ(c.size(), 1u);  // sigmoid(0) = 0.5 is under the threshold
  EXPECT_FLOAT_EQ(c[0].pontuacao, 1.0f);  // clipped at 100 before the sigmoid, not NaN
  EXPECT_FLOAT_EQ(c[0].xmin, 0.85f - 0.1f);
  EXPECT_FLOAT_EQ(c[0].ymax, 0.6f);
  regressores[18] = std::numeric_limits<float>::quiet_NaN();
  c.clear();
  detector::decodificar(pontuacoes.data(), regressores.data(), ancoras, 192, 0.6f, c);
  EXPECT_TRUE(c.empty());
}

TEST(Decodificacao, MolduraDe640Por360) {
  const detector::Moldura m = detector::molduraPara(640, 360, 192);
  EXPECT_EQ(m.largura, 192);
  EXPECT_EQ(m.altura, 108);
  EXPECT_EQ(m.topo, 42);
  // A box in the square input back in the frame, lower-left origin.
  const Retangulo r = detector::noQuadro({0.25f, 0.21875f, 0.75f, 0.5f, 1}, m);
  EXPECT_NEAR(r.x, 0.25, 1e-6);
  EXPECT_NEAR(r.largura, 0.5, 1e-6);
  EXPECT_NEAR(r.altura, 54.0 / 108, 1e-6);
  EXPECT_NEAR(r.y, 1 - (42.0 - 42) / 108 - 54.0 / 108 - 0, 1e-6);
}

TEST(Decodificacao, SupressaoPonderada) {
  EXPECT_EQ(detector::suprimir({{0.1f, 0.1f, 0.2f, 0.2f, 0.7f}}).size(), 1u);
  const auto fundidos = detector::suprimir({{0.1f, 0.1f, 0.3f, 0.3f, 0.6f}, {0.12f, 0.12f, 0.32f, 0.32f, 0.9f},
                                            {0.7f, 0.7f, 0.8f, 0.8f, 0.8f}});
  ASSERT_EQ(fundidos.size(), 2u);
  EXPECT_FLOAT_EQ(fundidos[0].pontuacao, 0.9f);  // the best one's score, corners weighted by score
  EXPECT_NEAR(fundidos[0].xmin, (0.1f * 0.6f + 0.12f * 0.9f) / 1.5f, 1e-6);
}

TEST(Decodificacao, Ladrilhos) {
  const auto l = detector::ladrilhosPara(640, 360, 360);
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[1].x, 280);
  EXPECT_EQ(detector::ladrilhosPara(360, 640, 360)[1].y, 280);
  EXPECT_EQ(detector::ladrilhosPara(640, 274, 274).size(), 3u);
  EXPECT_EQ(detector::ladrilhosPara(512, 480, 480).size(), 1u);   // close to square: the whole frame
  EXPECT_EQ(detector::ladrilhosPara(640, 360, 240).size(), 6u);   // 3 across, 2 down
  EXPECT_EQ(detector::ladrilhosPara(1, 1, 1).size(), 1u);
  const auto tira = detector::ladrilhosPara(640, 17, 214);  // a strip: squares cut to it
  ASSERT_EQ(tira.size(), 3u);
  EXPECT_EQ(tira[2].x + tira[2].largura, 640);
  EXPECT_EQ(tira[2].altura, 17);
  const auto grade = detector::ladrilhosPara(640, 360, 240);
  EXPECT_EQ(grade[5].x + grade[5].largura, 640);
  EXPECT_EQ(grade[5].y + grade[5].altura, 360);
  // A tile-normalized box in the frame: its right half, lower half.
  const Retangulo r = detector::doRecorte({0, 0, 0.5, 0.5}, l[1], 640, 360);
  EXPECT_NEAR(r.x, 280.0 / 640, 1e-9);
  EXPECT_NEAR(r.largura, 180.0 / 640, 1e-9);
  EXPECT_NEAR(r.altura, 0.5, 1e-9);
}

TEST(Decodificacao, OlharDePerto) {
  const Retangulo caixa{300.0 / 640, 1 - 120.0 / 360, 20.0 / 640, 20.0 / 360};  // a 20 px face
  const detector::Recorte r = detector::recorteEmVolta(caixa, 3, 640, 360);
  EXPECT_EQ(r.largura, 60);
  EXPECT_EQ(r.altura, 60);
  EXPECT_EQ(r.x, 280);
  EXPECT_EQ(r.y, 80);
  const detector::Recorte canto = detector::recorteEmVolta({0, 1 - 20.0 / 360, 20.0 / 640, 20.0 / 360}, 3, 640, 360);
  EXPECT_EQ(canto.x, 0);  // cut to the frame, never empty
  EXPECT_EQ(canto.y, 0);
  EXPECT_EQ(canto.largura, 40);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const detector::Recorte todo = detector::recorteEmVolta({nan, 0.5, 0.1, 0.1}, 3, 640, 360);
  EXPECT_EQ(todo.largura, 640);
}

}  // namespace
}  // namespace rosto
