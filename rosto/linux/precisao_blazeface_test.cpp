// How well the detector does on real photographs it was not tuned on:
// small faces of many people in grids, and textures that must stay face-free.
#include <gtest/gtest.h>

#include <cstdio>

#include "rosto/linux/acervo_test.h"
#include "rosto/linux/blazeface.h"
#include "rosto/linux/detector_blazeface.h"

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
  Contagem pequenos, grandes, fotosPequenas, fotosGrandes;
  for (int altura : {18, 22, 26, 30, 34, 40, 56, 80}) {
    const Contagem l = contar(acervo::detectorPadrao(), acervo::grades(lfw, altura, altura));
    const Contagem f = contar(acervo::detectorPadrao(), acervo::grades(fotografias, altura, altura + 1));
    std::printf("rostos de %d px: LFW %d/%d, fotografias %d/%d, %d falsos em %d quadros\n", altura, l.achados,
                l.rostos, f.achados, f.rostos, l.falsos + f.falsos, l.quadros + f.quadros);
    for (const Contagem& c : {l, f}) somar(altura < 35 ? pequenos : grandes, c);
    somar(altura < 35 ? fotosPequenas : fotosGrandes, f);
  }
  std::printf("menores que 35 px: %.3f (fotografias %.3f); a partir de 35 px: %.3f (fotografias %.3f)\n",
              pequenos.taxa(), fotosPequenas.taxa(), grandes.taxa(), fotosGrandes.taxa());
  RecordProperty("recall_pequenos", std::to_string(pequenos.taxa()));
  RecordProperty("recall_grandes", std::to_string(grandes.taxa()));
  // Floors against regressions, about 0.05 under what this detector gives
  // here (see the figures printed above).
  EXPECT_GE(pequenos.taxa(), 0.35);
  EXPECT_GE(grandes.taxa(), 0.84);
  EXPECT_GE(fotosPequenas.taxa(), 0.875);  // 40 of 40 here
  EXPECT_EQ(fotosGrandes.achados, fotosGrandes.rostos);
  EXPECT_LE(pequenos.falsos + grandes.falsos, (pequenos.quadros + grandes.quadros) / 50);
}

TEST(Precisao, TexturasSemRostos) {
  const Contagem c = contar(acervo::detectorPadrao(), acervo::texturas());
  std::printf("texturas: %d falsos em %d quadros\n", c.falsos, c.quadros);
  RecordProperty("falsos_por_quadro", std::to_string(static_cast<double>(c.falsos) / c.quadros));
  // None of 184 here, but with little room: on the closer look the coins'
  // relief heads score up to 0.748 and the circuit board 0.724, against the
  // 0.75 that confirms; 0.70 lets five through.
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
    auto pedido = criarPedidoBlazeFace(ROSTO_MODELOS, {.trabalhadores = trabalhadores});
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
