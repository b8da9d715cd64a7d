#include "rosto/linux/detector/entrada.h"

#include <algorithm>
#include <cmath>

namespace rosto::detector {

namespace {

// The source pixels each of `destino` pixels takes from a row (or column) of
// `origem`, with their weights: at most `largura` taps each.
struct Filtro {
  int largura = 0;
  std::vector<int> inicio;
  std::vector<float> pesos;  // largura per destination pixel
};

Filtro filtroPara(int origem, int destino) {
  Filtro f;
  const double escala = static_cast<double>(origem) / destino;
  f.largura = escala > 1 ? static_cast<int>(std::ceil(escala)) + 1 : 2;
  f.inicio.resize(destino);
  f.pesos.assign(static_cast<size_t>(destino) * f.largura, 0.0f);
  for (int d = 0; d < destino; ++d) {
    float* p = &f.pesos[static_cast<size_t>(d) * f.largura];
    if (escala > 1) {  // area: each source pixel by how much of it the footprint covers
      const double a = d * escala, b = (d + 1) * escala;
      f.inicio[d] = std::min(static_cast<int>(a), origem - 1);
      for (int k = 0; k < f.largura; ++k) {
        const double l = std::max(a, static_cast<double>(f.inicio[d] + k));
        const double r = std::min(b, static_cast<double>(f.inicio[d] + k + 1));
        if (r > l && f.inicio[d] + k < origem) p[k] = static_cast<float>((r - l) / escala);
      }
    } else {  // bilinear between the two nearest centres, edges repeated
      const double s = std::clamp((d + 0.5) * escala - 0.5, 0.0, origem - 1.0);
      f.inicio[d] = std::min(static_cast<int>(s), std::max(origem - 2, 0));
      const float t = static_cast<float>(s - f.inicio[d]);
      p[0] = 1 - t;
      p[1] = origem > 1 ? t : 0;
    }
  }
  return f;
}

}  // namespace

Recorte cortarNaImagem(Recorte r, int largura, int altura) {
  const int x0 = std::clamp(r.x, 0, largura), y0 = std::clamp(r.y, 0, altura);
  const int x1 = std::clamp(r.x + std::max(r.largura, 0), x0, largura);
  const int y1 = std::clamp(r.y + std::max(r.altura, 0), y0, altura);
  return {x0, y0, x1 - x0, y1 - y0};
}

Moldura enquadrar(const Imagem& imagem, Recorte recorte, int lado, float* entrada, std::vector<float>& rascunho) {
  std::fill_n(entrada, static_cast<size_t>(lado) * lado * 3, -1.0f);
  recorte = imagem.rgb ? cortarNaImagem(recorte, imagem.largura, imagem.altura) : Recorte{0, 0, 0, 0};
  if (recorte.largura < 1 || recorte.altura < 1) return {0, 0, lado, lado, lado};
  const Moldura m = molduraPara(recorte.largura, recorte.altura, lado);
  const Filtro fx = filtroPara(recorte.largura, m.largura), fy = filtroPara(recorte.altura, m.altura);
  // Rows first, each source row of the cut into m.largura pixels...
  rascunho.assign(static_cast<size_t>(recorte.altura) * m.largura * 3, 0.0f);
  for (int y = 0; y < recorte.altura; ++y) {
    const uint8_t* linha = imagem.rgb + static_cast<size_t>(recorte.y + y) * imagem.bytesPorLinha + 3 * recorte.x;
    float* saida = &rascunho[static_cast<size_t>(y) * m.largura * 3];
    for (int x = 0; x < m.largura; ++x) {
      const float* p = &fx.pesos[static_cast<size_t>(x) * fx.largura];
      float r = 0, g = 0, b = 0;
      for (int k = 0; k < fx.largura && fx.inicio[x] + k < recorte.largura; ++k) {
        const uint8_t* px = linha + 3 * (fx.inicio[x] + k);
        r += p[k] * px[0];
        g += p[k] * px[1];
        b += p[k] * px[2];
      }
      saida[3 * x] = r;
      saida[3 * x + 1] = g;
      saida[3 * x + 2] = b;
    }
  }
  // ...then columns, into the input, scaled from 0..255 to -1..1.
  for (int y = 0; y < m.altura; ++y) {
    const float* p = &fy.pesos[static_cast<size_t>(y) * fy.largura];
    float* destino = entrada + (static_cast<size_t>(m.topo + y) * lado + m.esquerda) * 3;
    for (int c = 0; c < m.largura * 3; ++c) {
      float v = 0;
      for (int k = 0; k < fy.largura && fy.inicio[y] + k < recorte.altura; ++k)
        v += p[k] * rascunho[static_cast<size_t>(fy.inicio[y] + k) * m.largura * 3 + c];
      destino[c] = v * (2.0f / 255.0f) - 1.0f;
    }
  }
  return m;
}

}  // namespace rosto::detector
