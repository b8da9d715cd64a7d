// How well the detector does on real photographs it was not tuned on:
// small faces of many people in grids, and textures that must stay face-free.
#include <gtest/gtest.h>

#include <cstdio>

#include "rosto/linux/acervo_test.h"
#include "rosto/linux/detector/detector_mediapipe.h"

namespace rosto {
namespace {

// A detection names a face when its centre falls in the face's square and
// its height is within a factor of two of the face's.
bool nomeia(const Rosto& r, const cv::Rect2d& rosto, const cv::Size& quadro) {
  const double cx = (r.caixa.x + r.caixa.largura / 2) * quadro.width;
  const double cy = (1 - r.caixa.y - r.caixa.altura / 2) * quadro.height;
  const double h = r.caixa.altura * quadro.height;
  return rosto.contains({cx, cy}) && h > rosto.height / 2 && h < rosto.height * 2;
}

struct Contagem {
  int achados = 0, rostos = 0, falsos = 0, quadros = 0;
  double taxa() const { return rostos ? static_cast<double>(achados) / rostos : 0; }
};

Contagem contar(PedidoDeRostos& pedido, const std::vector<acervo::Quadro>& quadros) {
  Contagem c;
  for (const acervo::Quadro& q : quadros) {
    const std::vector<Rosto> achados = acervo::rostosEm(pedido, q.rgb);
    for (const cv::Rect2d& rosto : q.rostos) {
      bool achado = false;
      for (const Rosto& r : achados) achado = achado || nomeia(r, rosto, q.rgb.size());
      c.achados += achado;
    }
    for (const Rosto& r : achados) {
      bool deAlguem = false;
      for (const cv::Rect2d& rosto : q.rostos) deAlguem = deAlguem || nomeia(r, rosto, q.rgb.size());
      c.falsos += !deAlguem;
    }
    c.rostos += static_cast<int>(q.rostos.size());
    c.quadros += 1;
  }
  return c;
}


void somar(Contagem& soma, const Contagem& c) {
  soma.achados += c.achados;
  soma.rostos += c.rostos;
  soma.falsos += c.falsos;
  soma.quadros += c.quadros;
}

// The LFW faces are tight grey crops with no hair or shoulders: far harder
// than the photographs, whose faces come with their context.
TEST(Precisao, RostosReaisPequenosEGrandes) {
  std::vector<acervo::Retrato> lfw, fotografias;
  for (acervo::Retrato& r : acervo::retratos()) (r.origem.rfind("lfw", 0) == 0 ? lfw : fotografias).push_back(r);
  Contagem lfwPequenos, lfwGrandes, fotosMinimas, fotos, falsos;
  for (int altura : {18, 22, 26, 30, 34, 40, 56, 80}) {
    const Contagem l = contar(acervo::detectorPadrao(), acervo::grades(lfw, altura, altura));
    const Contagem f = contar(acervo::detectorPadrao(), acervo::grades(fotografias, altura, altura + 1));
    std::printf("rostos de %d px: LFW %d/%d, fotografias %d/%d, %d falsos em %d quadros\n", altura, l.achados,
                l.rostos, f.achados, f.rostos, l.falsos + f.falsos, l.quadros + f.quadros);
    somar(altura < 35 ? lfwPequenos : lfwGrandes, l);
    somar(altura < 20 ? fotosMinimas : fotos, f);
    somar(falsos, l);
    somar(falsos, f);
  }
  std::printf("LFW: menores que 35 px %.3f, a partir de 35 px %.3f; fotografias: menores que 20 px %.3f, "
              "a partir de 20 px %d/%d\n",
              lfwPequenos.taxa(), lfwGrandes.taxa(), fotosMinimas.taxa(), fotos.achados, fotos.rostos);
  RecordProperty("lfw_pequenos", std::to_string(lfwPequenos.taxa()));
  RecordProperty("lfw_grandes", std::to_string(lfwGrandes.taxa()));
  // Every photograph face from 20 px is found (and here every one of 18 px);
  // the LFW floors are about 0.03 under what this detector gives here
  // (0.380 and 0.833, printed above).
  EXPECT_EQ(fotos.achados, fotos.rostos);
  EXPECT_GE(fotosMinimas.taxa(), 0.8);
  EXPECT_GE(lfwPequenos.taxa(), 0.35);
  EXPECT_GE(lfwGrandes.taxa(), 0.80);
  // Boxes in the grids that name no face: 2 in 53 frames here.
  EXPECT_LE(falsos.falsos, falsos.quadros / 20);
}

// Faces with their context under what real footage does to them, against
// the same faces without it. The aim is to lose at most 5 % in each; the
// floors are what this detector keeps here, less one face (of 32): roll
// costs 1-2 faces, darkness none, but a 9 px motion blur, sensor noise of
// sigma 20 and H.264 at CRF 40 cost a third or more, mostly at 30-40 px.
TEST(Precisao, CondicoesDificeis) {
  std::vector<acervo::Retrato> fotografias;
  for (acervo::Retrato& r : acervo::retratos())
    if (r.origem.rfind("lfw", 0) != 0) fotografias.push_back(r);
  const std::vector<int> alturas{30, 40, 56, 80};
  const auto achados = [&](const std::vector<acervo::Retrato>& retratos, auto&& transformar) {
    Contagem soma;
    for (int altura : alturas) somar(soma, contar(acervo::detectorPadrao(), transformar(acervo::grades(retratos, altura, altura + 7))));
    return soma;
  };
  const auto comoSao = [](std::vector<acervo::Quadro> q) { return q; };
  const Contagem limpas = achados(fotografias, comoSao);
  std::printf("sem condição: %d/%d\n", limpas.achados, limpas.rostos);
  const auto confere = [&](const std::string& condicao, const Contagem& c, int piso) {
    std::printf("%s: %d/%d, %d falsos em %d quadros\n", condicao.c_str(), c.achados, c.rostos, c.falsos, c.quadros);
    EXPECT_GE(c.achados, piso) << condicao;
    EXPECT_LE(c.falsos, 1) << condicao;
  };
  for (double graus : {15.0, 30.0, 45.0, -45.0})
    confere("rolados " + std::to_string(static_cast<int>(graus)) + " graus",
            achados(acervo::rolados(fotografias, graus), comoSao), 29);
  const std::pair<acervo::Condicao, int> pisos[] = {{acervo::Condicao::escuro, 31},
                                                    {acervo::Condicao::borrado, 17},
                                                    {acervo::Condicao::ruidoso, 21},
                                                    {acervo::Condicao::comprimido, 22}};
  for (const auto& [condicao, piso] : pisos)
    confere(acervo::nomeDe(condicao),
            achados(fotografias, [&](std::vector<acervo::Quadro> q) { return acervo::sob(condicao, std::move(q)); }),
            piso);
}

TEST(Precisao, TexturasSemRostos) {
  const Contagem c = contar(acervo::detectorPadrao(), acervo::texturas());
  std::printf("texturas: %d falsos em %d quadros\n", c.falsos, c.quadros);
  RecordProperty("falsos_por_quadro", std::to_string(static_cast<double>(c.falsos) / c.quadros));
  // One of 184 here, with little room: on the textures full range gives at
  // most 0.550 against the 0.6 that reports a face at once, and the closer
  // looks' next-highest face-free score is 0.749 against the 0.75 that confirms.
  EXPECT_LE(c.falsos, c.quadros / 100);
}

// The workers only share out the forwards: every count gives the same faces,
// bit for bit, in the same order.
TEST(Trabalhadores, MesmosRostosComQualquerNumeroDeTrabalhadores) {
  std::vector<acervo::Quadro> quadros = acervo::grades(acervo::retratos(), 26, 3);
  for (acervo::Quadro& q : acervo::texturas()) {
    if (quadros.size() >= 24) break;
    quadros.push_back(std::move(q));
  }
  std::vector<std::vector<Rosto>> referencia;
  for (int trabalhadores : {1, 2, 3, 4}) {
    auto pedido = criarPedidoMediaPipe(ROSTO_MODELOS, {.trabalhadores = trabalhadores});
    ASSERT_TRUE(pedido.ok());
    for (size_t k = 0; k < quadros.size(); ++k) {
      const std::vector<Rosto> achados = acervo::rostosEm(*pedido.valor(), quadros[k].rgb);
      if (trabalhadores == 1) {
        referencia.push_back(achados);
        continue;
      }
      ASSERT_EQ(achados.size(), referencia[k].size()) << trabalhadores << " trabalhadores, quadro " << k;
      for (size_t j = 0; j < achados.size(); ++j) {
        const Rosto &a = achados[j], &b = referencia[k][j];
        EXPECT_TRUE(a.caixa.x == b.caixa.x && a.caixa.y == b.caixa.y && a.caixa.largura == b.caixa.largura &&
                    a.caixa.altura == b.caixa.altura && a.confianca == b.confianca)
            << trabalhadores << " trabalhadores, quadro " << k << ", rosto " << j;
      }
    }
  }
  size_t total = 0;
  for (const auto& r : referencia) total += r.size();
  EXPECT_GT(total, 20u);  // the frames do hold faces to compare
}

}  // namespace
}  // namespace rosto
