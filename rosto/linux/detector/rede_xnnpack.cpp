#include "rosto/linux/detector/rede_xnnpack.h"

#include <algorithm>
#include <string>

#include "rosto/linux/detector/nos_elementares.h"

namespace rosto::detector {

namespace {

struct ApagarSubgrafo {
  void operator()(xnn_subgraph_t s) const { xnn_delete_subgraph(s); }
};
using Subgrafo = std::unique_ptr<xnn_subgraph, ApagarSubgrafo>;

// XNNPACK may read (never write) up to this far past an input's last element.
constexpr size_t kFolga = (XNN_EXTRA_BYTES + sizeof(float) - 1) / sizeof(float);

// Builds the subgraph: external ids are the model's inputs then its outputs.
class Montador {
 public:
  Montador(const Grafo& grafo, xnn_subgraph_t sub) : grafo_(grafo), sub_(sub), ids_(grafo.tensores.size(), XNN_INVALID_VALUE_ID) {}

  // `externos`: the tensors XNNPACK reads or writes in the caller's buffers,
  // inputs first, numbered in order; nodes marked in `feitosFora` are left out.
  bool montar(const std::vector<int>& externos, size_t entradas, const std::vector<bool>& feitosFora,
              std::string& erro) {
    for (size_t k = 0; k < externos.size(); ++k) {
      const uint32_t flags = k < entradas ? XNN_VALUE_FLAG_EXTERNAL_INPUT : XNN_VALUE_FLAG_EXTERNAL_OUTPUT;
      if (!definir(externos[k], static_cast<uint32_t>(k), flags)) return falha(erro, "um valor externo");
    }
    for (size_t k = 0; k < grafo_.nos.size(); ++k)
      if (!feitosFora[k] && !no(grafo_.nos[k])) return falha(erro, "operação " + std::to_string(k));
    return true;
  }

 private:
  static bool falha(std::string& erro, const std::string& onde) {
    erro = "o XNNPACK recusou " + onde;
    return false;
  }

  bool definir(int t, uint32_t externo, uint32_t flags) {
    const Tensor& tensor = grafo_.tensores[t];
    const void* dados = tensor.ehConstante() ? tensor.constante.data() : nullptr;
    return xnn_define_tensor_value(sub_, xnn_datatype_fp32, tensor.forma.size(), tensor.forma.data(), dados, externo,
                                   flags, &ids_[t]) == xnn_status_success;
  }
  uint32_t id(int t) {
    if (t == kSemTensor) return XNN_INVALID_VALUE_ID;
    if (ids_[t] == XNN_INVALID_VALUE_ID && !definir(t, XNN_INVALID_VALUE_ID, 0)) return XNN_INVALID_VALUE_ID;
    return ids_[t];
  }

  bool no(const No& n) {
    const uint32_t x = id(n.entradas[0]), y = id(n.saida);
    if (x == XNN_INVALID_VALUE_ID || y == XNN_INVALID_VALUE_ID) return false;
    const uint32_t mesmo = n.mesmo ? XNN_FLAG_TENSORFLOW_SAME_PADDING : 0;
    const std::vector<size_t>& fx = grafo_.tensores[n.entradas[0]].forma;
    switch (n.operacao) {
      case Operacao::convolucao: {
        const std::vector<size_t>& ff = grafo_.tensores[n.entradas[1]].forma;
        return xnn_define_convolution_2d(sub_, 0, 0, 0, 0, n.filtroH, n.filtroW, n.passoH, n.passoW, n.dilatacaoH,
                                         n.dilatacaoW, 1, fx[3], ff[0], n.minimo, n.maximo, x, id(n.entradas[1]),
                                         id(n.entradas[2]), y, mesmo) == xnn_status_success;
      }
      case Operacao::porCanal: {
        const std::vector<size_t>& ff = grafo_.tensores[n.entradas[1]].forma;
        return xnn_define_depthwise_convolution_2d(sub_, 0, 0, 0, 0, n.filtroH, n.filtroW, n.passoH, n.passoW,
                                                   n.dilatacaoH, n.dilatacaoW, static_cast<uint32_t>(ff[3] / fx[3]),
                                                   fx[3], n.minimo, n.maximo, x, id(n.entradas[1]), id(n.entradas[2]),
                                                   y, mesmo) == xnn_status_success;
      }
      case Operacao::maximoLocal:
        return xnn_define_max_pooling_2d(sub_, 0, 0, 0, 0, n.filtroH, n.filtroW, n.passoH, n.passoW, 1, 1, n.minimo,
                                         n.maximo, x, y, mesmo) == xnn_status_success;
      case Operacao::soma:
        return definirSoma(sub_, n.minimo, n.maximo, x, id(n.entradas[1]), y);
      case Operacao::relu:
        return definirLimites(sub_, 0.0f, n.maximo, x, y);
      case Operacao::prelu: return prelu(n, x, y);
      case Operacao::preencher:
        return xnn_define_static_constant_pad(sub_, n.antes.data(), n.depois.data(), 0.0f, x, y, 0) ==
               xnn_status_success;
      case Operacao::reformatar: {
        const std::vector<size_t>& fy = grafo_.tensores[n.saida].forma;
        return xnn_define_static_reshape(sub_, fy.size(), fy.data(), x, y, 0) == xnn_status_success;
      }
      case Operacao::redimensionar: {
        const std::vector<size_t>& fy = grafo_.tensores[n.saida].forma;
        const uint32_t modo = n.alinhaCantos ? XNN_FLAG_ALIGN_CORNERS : n.meioPixel ? 0 : XNN_FLAG_TENSORFLOW_LEGACY_MODE;
        return xnn_define_static_resize_bilinear_2d(sub_, fy[1], fy[2], x, y, modo) == xnn_status_success;
      }
      case Operacao::concatenacao: return false;  // only as the final gathering, done outside
    }
    return false;
  }

  // XNNPACK takes the slopes as a flat [channels] tensor.
  bool prelu(const No& n, uint32_t x, uint32_t y) {
    const Tensor& inclinacoes = grafo_.tensores[n.entradas[1]];
    const size_t canais = inclinacoes.constante.size();
    uint32_t s;
    if (xnn_define_tensor_value(sub_, xnn_datatype_fp32, 1, &canais, inclinacoes.constante.data(),
                                XNN_INVALID_VALUE_ID, 0, &s) != xnn_status_success)
      return false;
    return definirPrelu(sub_, x, s, y);
  }

  const Grafo& grafo_;
  xnn_subgraph_t sub_;
  std::vector<uint32_t> ids_;
};

// A concatenation whose result is one of the model's outputs and whose parts
// nothing else reads: a copy after the subgraph.
bool soJunta(const Grafo& g, const No& n) {
  if (n.operacao != Operacao::concatenacao) return false;
  if (std::find(g.saidas.begin(), g.saidas.end(), n.saida) == g.saidas.end()) return false;
  for (const No& outro : g.nos)
    for (int t : outro.entradas)
      if (&outro != &n && std::find(n.entradas.begin(), n.entradas.end(), t) != n.entradas.end()) return false;
  for (int t : n.entradas)
    if (std::find(g.saidas.begin(), g.saidas.end(), t) != g.saidas.end()) return false;
  return true;
}

}  // namespace

Resultado<std::unique_ptr<RedeXnnpack>> RedeXnnpack::criar(std::shared_ptr<const Grafo> grafo) {
  // Idempotent and thread-safe; it fails on a processor XNNPACK cannot use.
  if (xnn_initialize(nullptr) != xnn_status_success) return Erro{"o XNNPACK não funciona neste processador"};
  const Grafo& g = *grafo;
  if (g.entradas.empty() || g.saidas.empty()) return Erro{"o modelo não tem entrada ou saída"};
  std::unique_ptr<RedeXnnpack> rede(new RedeXnnpack(grafo));
  // Buffers: inputs, then outputs, then the parts of final concatenations.
  std::vector<int> tensores(g.entradas.begin(), g.entradas.end());
  tensores.insert(tensores.end(), g.saidas.begin(), g.saidas.end());
  std::vector<bool> feitosFora(g.nos.size(), false);
  for (size_t k = 0; k < g.nos.size(); ++k) {
    if (!soJunta(g, g.nos[k])) continue;
    feitosFora[k] = true;
    const No& n = g.nos[k];
    Juncao j{static_cast<size_t>(std::find(tensores.begin(), tensores.end(), n.saida) - tensores.begin()), {}, 1, {}};
    for (int d = 0; d < n.eixo; ++d) j.blocos *= g.tensores[n.saida].forma[d];
    for (int t : n.entradas) {
      j.partes.push_back(tensores.size());
      j.tamanhos.push_back(g.tensores[t].elementos() / j.blocos);
      tensores.push_back(t);
    }
    rede->juncoes_.push_back(std::move(j));
  }
  for (int t : tensores) rede->buffers_.emplace_back(g.tensores[t].elementos() + kFolga, 0.0f);
  // What XNNPACK sees: every buffer but the gathered outputs.
  std::vector<int> externos;
  std::vector<xnn_external_value> valores;
  for (size_t b = 0; b < tensores.size(); ++b) {
    const bool juntado = std::any_of(rede->juncoes_.begin(), rede->juncoes_.end(), [&](const Juncao& j) { return j.saida == b; });
    if (juntado) continue;
    valores.push_back({static_cast<uint32_t>(externos.size()), rede->buffers_[b].data()});
    externos.push_back(tensores[b]);
  }
  xnn_subgraph_t bruto = nullptr;
  if (xnn_create_subgraph(static_cast<uint32_t>(externos.size()), 0, &bruto) != xnn_status_success)
    return Erro{"o XNNPACK não criou o subgrafo"};
  Subgrafo sub(bruto);
  std::string erro;
  if (!Montador(g, sub.get()).montar(externos, g.entradas.size(), feitosFora, erro)) return Erro{erro};
  xnn_runtime_t runtime = nullptr;
  if (xnn_create_runtime_v2(sub.get(), nullptr, 0, &runtime) != xnn_status_success)
    return Erro{"o XNNPACK não criou o runtime"};
  rede->runtime_.reset(runtime);
  if (xnn_setup_runtime(runtime, valores.size(), valores.data()) != xnn_status_success)
    return Erro{"o XNNPACK não preparou o runtime"};
  return rede;
}

bool RedeXnnpack::executar() {
  if (xnn_invoke_runtime(runtime_.get()) != xnn_status_success) return false;
  for (const Juncao& j : juncoes_) {
    float* destino = buffers_[j.saida].data();
    for (size_t b = 0; b < j.blocos; ++b)
      for (size_t p = 0; p < j.partes.size(); ++p) {
        const float* origem = buffers_[j.partes[p]].data() + b * j.tamanhos[p];
        destino = std::copy(origem, origem + j.tamanhos[p], destino);
      }
  }
  return true;
}

}  // namespace rosto::detector
