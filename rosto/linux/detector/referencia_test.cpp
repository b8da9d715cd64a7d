#include "rosto/linux/detector/referencia_test.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace rosto::detector {

namespace {

struct Nhwc {
  size_t n, h, w, c;
  explicit Nhwc(const std::vector<size_t>& f) : n(f[0]), h(f[1]), w(f[2]), c(f[3]) {}
  size_t operator()(size_t b, size_t y, size_t x, size_t k) const { return ((b * h + y) * w + x) * c + k; }
};

// TensorFlow's SAME padding: as much before as after, the odd one after.
int antesDaJanela(size_t entrada, size_t saida, int janela, int passo, int dilatacao, bool mesmo) {
  if (!mesmo) return 0;
  const long efetiva = static_cast<long>(janela - 1) * dilatacao + 1;
  const long total = std::max(0L, static_cast<long>(saida - 1) * passo + efetiva - static_cast<long>(entrada));
  return static_cast<int>(total / 2);
}

float limitar(float v, const No& no) { return std::min(std::max(v, no.minimo), no.maximo); }

void convolucao(const No& no, const Grafo& g, const std::vector<std::vector<float>>& v, std::vector<float>& y) {
  const Nhwc fx(g.tensores[no.entradas[0]].forma), fy(g.tensores[no.saida].forma);
  const std::vector<size_t>& ff = g.tensores[no.entradas[1]].forma;
  const bool porCanal = no.operacao == Operacao::porCanal;
  const size_t kh = ff[1], kw = ff[2], mult = porCanal ? fy.c / fx.c : 1;
  const int pt = antesDaJanela(fx.h, fy.h, static_cast<int>(kh), no.passoH, no.dilatacaoH, no.mesmo);
  const int pl = antesDaJanela(fx.w, fy.w, static_cast<int>(kw), no.passoW, no.dilatacaoW, no.mesmo);
  const std::vector<float>& x = v[no.entradas[0]];
  const std::vector<float>& f = g.tensores[no.entradas[1]].constante;
  const std::vector<float>* b = no.entradas[2] == kSemTensor ? nullptr : &g.tensores[no.entradas[2]].constante;
  for (size_t oy = 0; oy < fy.h; ++oy)
    for (size_t ox = 0; ox < fy.w; ++ox)
      for (size_t o = 0; o < fy.c; ++o) {
        double soma = b ? (*b)[o] : 0;
        for (size_t i = 0; i < kh; ++i)
          for (size_t j = 0; j < kw; ++j) {
            const long iy = static_cast<long>(oy * no.passoH + i * no.dilatacaoH) - pt;
            const long ix = static_cast<long>(ox * no.passoW + j * no.dilatacaoW) - pl;
            if (iy < 0 || ix < 0 || iy >= static_cast<long>(fx.h) || ix >= static_cast<long>(fx.w)) continue;
            if (porCanal) {
              soma += x[fx(0, iy, ix, o / mult)] * f[(i * kw + j) * fy.c + o];
            } else {
              for (size_t c = 0; c < fx.c; ++c) soma += x[fx(0, iy, ix, c)] * f[((o * kh + i) * kw + j) * fx.c + c];
            }
          }
        y[fy(0, oy, ox, o)] = limitar(static_cast<float>(soma), no);
      }
}

void maximoLocal(const No& no, const Grafo& g, const std::vector<float>& x, std::vector<float>& y) {
  const Nhwc fx(g.tensores[no.entradas[0]].forma), fy(g.tensores[no.saida].forma);
  const int pt = antesDaJanela(fx.h, fy.h, no.filtroH, no.passoH, 1, no.mesmo);
  const int pl = antesDaJanela(fx.w, fy.w, no.filtroW, no.passoW, 1, no.mesmo);
  for (size_t oy = 0; oy < fy.h; ++oy)
    for (size_t ox = 0; ox < fy.w; ++ox)
      for (size_t c = 0; c < fy.c; ++c) {
        float m = -INFINITY;
        for (int i = 0; i < no.filtroH; ++i)
          for (int j = 0; j < no.filtroW; ++j) {
            const long iy = static_cast<long>(oy * no.passoH + i) - pt, ix = static_cast<long>(ox * no.passoW + j) - pl;
            if (iy >= 0 && ix >= 0 && iy < static_cast<long>(fx.h) && ix < static_cast<long>(fx.w))
              m = std::max(m, x[fx(0, iy, ix, c)]);
          }
        y[fy(0, oy, ox, c)] = limitar(m, no);
      }
}

void preencher(const No& no, const Grafo& g, const std::vector<float>& x, std::vector<float>& y) {
  const Nhwc fx(g.tensores[no.entradas[0]].forma), fy(g.tensores[no.saida].forma);
  std::fill(y.begin(), y.end(), 0.0f);
  for (size_t b = 0; b < fx.n; ++b)
    for (size_t i = 0; i < fx.h; ++i)
      for (size_t j = 0; j < fx.w; ++j)
        for (size_t c = 0; c < fx.c; ++c)
          y[fy(b + no.antes[0], i + no.antes[1], j + no.antes[2], c + no.antes[3])] = x[fx(b, i, j, c)];
}

// TensorFlow's resize: half-pixel centres, aligned corners, or neither (legacy).
void redimensionar(const No& no, const Grafo& g, const std::vector<float>& x, std::vector<float>& y) {
  const Nhwc fx(g.tensores[no.entradas[0]].forma), fy(g.tensores[no.saida].forma);
  const auto origem = [&](size_t d, size_t entrada, size_t saida) {
    if (no.alinhaCantos) return saida > 1 ? d * (entrada - 1.0) / (saida - 1.0) : 0.0;
    const double escala = static_cast<double>(entrada) / saida;
    return no.meioPixel ? std::max(0.0, (d + 0.5) * escala - 0.5) : d * escala;
  };
  for (size_t oy = 0; oy < fy.h; ++oy)
    for (size_t ox = 0; ox < fy.w; ++ox) {
      const double sy = origem(oy, fx.h, fy.h), sx = origem(ox, fx.w, fy.w);
      const size_t y0 = static_cast<size_t>(sy), x0 = static_cast<size_t>(sx);
      const size_t y1 = std::min(y0 + 1, fx.h - 1), x1 = std::min(x0 + 1, fx.w - 1);
      const double ty = sy - y0, tx = sx - x0;
      for (size_t c = 0; c < fy.c; ++c) {
        const double topo = x[fx(0, y0, x0, c)] * (1 - tx) + x[fx(0, y0, x1, c)] * tx;
        const double base = x[fx(0, y1, x0, c)] * (1 - tx) + x[fx(0, y1, x1, c)] * tx;
        y[fy(0, oy, ox, c)] = static_cast<float>(topo * (1 - ty) + base * ty);
      }
    }
}

void concatenar(const No& no, const Grafo& g, const std::vector<std::vector<float>>& v, std::vector<float>& y) {
  const std::vector<size_t>& fy = g.tensores[no.saida].forma;
  size_t externo = 1, interno = 1;
  for (int d = 0; d < no.eixo; ++d) externo *= fy[d];
  for (size_t d = no.eixo + 1; d < fy.size(); ++d) interno *= fy[d];
  size_t k = 0;
  for (size_t o = 0; o < externo; ++o)
    for (int t : no.entradas) {
      const size_t bloco = g.tensores[t].forma[no.eixo] * interno;
      for (size_t i = 0; i < bloco; ++i) y[k++] = v[t][o * bloco + i];
    }
}

}  // namespace

std::vector<std::vector<float>> executarReferencia(const Grafo& g, const std::vector<float>& entrada) {
  std::vector<std::vector<float>> v(g.tensores.size());
  for (size_t t = 0; t < g.tensores.size(); ++t) v[t] = g.tensores[t].constante;
  v[g.entradas.at(0)] = entrada;
  for (const No& no : g.nos) {
    std::vector<float>& y = v[no.saida];
    y.assign(g.tensores[no.saida].elementos(), 0.0f);
    const std::vector<float>& x = v[no.entradas[0]];
    switch (no.operacao) {
      case Operacao::convolucao:
      case Operacao::porCanal: convolucao(no, g, v, y); break;
      case Operacao::maximoLocal: maximoLocal(no, g, x, y); break;
      case Operacao::soma:
        for (size_t i = 0; i < y.size(); ++i) y[i] = limitar(x[i] + v[no.entradas[1]][i], no);
        break;
      case Operacao::relu:
        for (size_t i = 0; i < y.size(); ++i) y[i] = std::max(x[i], 0.0f);
        break;
      case Operacao::prelu: {
        const std::vector<float>& a = g.tensores[no.entradas[1]].constante;
        for (size_t i = 0; i < y.size(); ++i) y[i] = x[i] >= 0 ? x[i] : x[i] * a[i % a.size()];
        break;
      }
      case Operacao::preencher: preencher(no, g, x, y); break;
      case Operacao::reformatar: y = x; break;
      case Operacao::redimensionar: redimensionar(no, g, x, y); break;
      case Operacao::concatenacao: concatenar(no, g, v, y); break;
    }
  }
  return v;
}

}  // namespace rosto::detector
