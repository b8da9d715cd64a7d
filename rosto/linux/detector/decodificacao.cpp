#include "rosto/linux/detector/decodificacao.h"

#include <algorithm>
#include <cmath>

namespace rosto::detector {

namespace {

float sigmoide(float bruto) { return 1.0f / (1.0f + std::exp(-std::clamp(bruto, -100.0f, 100.0f))); }

float area(const Candidato& c) { return (c.xmax - c.xmin) * (c.ymax - c.ymin); }

float sobreposicao(const Candidato& a, const Candidato& b) {
  const float l = std::max(a.xmin, b.xmin), r = std::min(a.xmax, b.xmax);
  const float t = std::max(a.ymin, b.ymin), d = std::min(a.ymax, b.ymax);
  if (r <= l || d <= t) return 0;
  const float comum = (r - l) * (d - t);
  return comum / (area(a) + area(b) - comum);
}

Candidato media(const std::vector<Candidato>& grupo) {
  Candidato m{0, 0, 0, 0, grupo.front().pontuacao};
  float total = 0;
  for (const Candidato& c : grupo) {
    m.xmin += c.xmin * c.pontuacao;
    m.ymin += c.ymin * c.pontuacao;
    m.xmax += c.xmax * c.pontuacao;
    m.ymax += c.ymax * c.pontuacao;
    total += c.pontuacao;
  }
  m.xmin /= total;
  m.ymin /= total;
  m.xmax /= total;
  m.ymax /= total;
  return m;
}

}  // namespace

std::vector<Ancora> ancorasSsd(const OpcoesDasAncoras& opcoes) {
  std::vector<Ancora> ancoras;
  for (size_t camada = 0; camada < opcoes.passos.size();) {
    // Layers of the same stride make one grid with all their anchors per cell.
    int porCelula = 0;
    size_t fim = camada;
    for (; fim < opcoes.passos.size() && opcoes.passos[fim] == opcoes.passos[camada]; ++fim)
      porCelula += opcoes.interpolada ? 2 : 1;
    const int passo = opcoes.passos[camada];
    const int celulas = (opcoes.lado + passo - 1) / passo;
    for (int y = 0; y < celulas; ++y)
      for (int x = 0; x < celulas; ++x)
        for (int k = 0; k < porCelula; ++k) ancoras.push_back({(x + 0.5f) / celulas, (y + 0.5f) / celulas});
    camada = fim;
  }
  return ancoras;
}

void decodificar(const float* pontuacoes, const float* regressores, const std::vector<Ancora>& ancoras, int lado,
                 float limiar, std::vector<Candidato>& saida) {
  for (size_t k = 0; k < ancoras.size(); ++k) {
    const float p = sigmoide(pontuacoes[k]);
    if (!(p >= limiar)) continue;
    const float* r = regressores + 16 * k;
    const Ancora& a = ancoras[k];
    const float cx = r[0] / lado + a.x, cy = r[1] / lado + a.y;
    const float w = r[2] / lado, h = r[3] / lado;
    if (!(w > 0) || !(h > 0)) continue;  // also drops NaN
    saida.push_back({cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2, p});
  }
}

std::vector<Candidato> suprimir(std::vector<Candidato> candidatos, float iou) {
  std::stable_sort(candidatos.begin(), candidatos.end(),
                   [](const Candidato& a, const Candidato& b) { return a.pontuacao > b.pontuacao; });
  std::vector<Candidato> mantidos, grupo, resto;
  while (!candidatos.empty()) {
    grupo.clear();
    resto.clear();
    const Candidato topo = candidatos.front();
    for (size_t k = 0; k < candidatos.size(); ++k) {
      // The top one always joins its own group, even when its IoU is not a number.
      const bool junta = k == 0 || sobreposicao(topo, candidatos[k]) > iou;
      (junta ? grupo : resto).push_back(candidatos[k]);
    }
    mantidos.push_back(media(grupo));
    candidatos.swap(resto);
  }
  return mantidos;
}

Moldura molduraPara(int largura, int altura, int lado) {
  const int maior = std::max(largura, altura);
  const int l = std::max(1, static_cast<int>(std::lround(static_cast<double>(largura) * lado / maior)));
  const int a = std::max(1, static_cast<int>(std::lround(static_cast<double>(altura) * lado / maior)));
  return {(lado - l) / 2, (lado - a) / 2, l, a, lado};
}

Retangulo noQuadro(const Candidato& c, const Moldura& m) {
  const double lado = m.lado;
  const double x = (c.xmin * lado - m.esquerda) / m.largura;
  const double w = (static_cast<double>(c.xmax) - c.xmin) * lado / m.largura;
  const double topo = (c.ymin * lado - m.topo) / m.altura;
  const double h = (static_cast<double>(c.ymax) - c.ymin) * lado / m.altura;
  return {x, 1.0 - (topo + h), w, h};
}

double iou(const Retangulo& a, const Retangulo& b) {
  const double l = std::max(a.x, b.x), r = std::min(a.x + a.largura, b.x + b.largura);
  const double baixo = std::max(a.y, b.y), cima = std::min(a.y + a.altura, b.y + b.altura);
  if (r <= l || cima <= baixo) return 0;
  const double comum = (r - l) * (cima - baixo);
  return comum / (a.largura * a.altura + b.largura * b.altura - comum);
}

namespace {
// Starts of `n` windows of `janela` spread evenly over `comprimento`.
std::vector<int> inicios(int comprimento, int janela) {
  const int n = (comprimento + janela - 1) / janela;
  std::vector<int> s;
  for (int k = 0; k < n; ++k)
    s.push_back(n == 1 ? 0 : static_cast<int>(std::lround(static_cast<double>(k) * (comprimento - janela) / (n - 1))));
  return s;
}
}  // namespace

std::vector<Recorte> ladrilhosPara(int largura, int altura, int lado) {
  const int curto = std::min(largura, altura), comprido = std::max(largura, altura);
  lado = std::clamp(lado, 1, std::max(comprido, 1));
  if (lado >= curto && comprido * 20 <= curto * 23) return {{0, 0, largura, altura}};
  const int lx = std::min(lado, largura), ly = std::min(lado, altura);
  std::vector<Recorte> ladrilhos;
  for (int y : inicios(altura, ly))
    for (int x : inicios(largura, lx)) ladrilhos.push_back({x, y, lx, ly});
  return ladrilhos;
}

Retangulo doRecorte(const Retangulo& r, const Recorte& c, int largura, int altura) {
  const double base = altura - (c.y + c.altura);  // its lower edge, from the frame's bottom
  return {(c.x + r.x * c.largura) / largura, (base + r.y * c.altura) / altura, r.largura * c.largura / largura,
          r.altura * c.altura / altura};
}

Recorte recorteEmVolta(const Retangulo& caixa, double fator, int largura, int altura) {
  const double lado = fator * std::max(caixa.largura * largura, caixa.altura * altura);
  const double cx = (caixa.x + caixa.largura / 2) * largura;
  const double cy = (1 - caixa.y - caixa.altura / 2) * altura;  // from the top
  if (!std::isfinite(lado) || !std::isfinite(cx) || !std::isfinite(cy)) return {0, 0, largura, altura};
  const auto borda = [](double v, int limite) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0 * limite))); };
  const int x0 = std::min(borda(cx - lado / 2, largura), largura - 1);
  const int y0 = std::min(borda(cy - lado / 2, altura), altura - 1);
  const int x1 = std::max(borda(cx + lado / 2, largura), x0 + 1);
  const int y1 = std::max(borda(cy + lado / 2, altura), y0 + 1);
  return {x0, y0, x1 - x0, y1 - y0};
}

std::vector<Rosto> unir(const std::vector<Rosto>& rostos) {
  std::vector<Candidato> candidatos;
  for (const Rosto& r : rostos) {
    const Retangulo& c = r.caixa;  // y flipped to grow downwards, as suppression expects
    candidatos.push_back({static_cast<float>(c.x), static_cast<float>(1 - c.y - c.altura),
                          static_cast<float>(c.x + c.largura), static_cast<float>(1 - c.y), r.confianca});
  }
  std::vector<Rosto> unidos;
  for (const Candidato& c : suprimir(candidatos))
    unidos.push_back({{c.xmin, 1.0 - c.ymax, static_cast<double>(c.xmax) - c.xmin, static_cast<double>(c.ymax) - c.ymin},
                      c.pontuacao});
  return unidos;
}

}  // namespace rosto::detector
