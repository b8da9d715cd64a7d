#include "rosto/linux/detector/detector_mediapipe.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "rosto/linux/detector/decodificacao.h"
#include "rosto/linux/detector/modelo_de_rostos.h"
#include "rosto/linux/trabalhadores.h"

namespace rosto {

namespace {

using detector::ModeloDeRostos;
using detector::Recorte;

// The thresholds, measured on the photograph test set (rosto/linux/detector/precisao_test.cpp).
// Full range from this score on makes a candidate: half the small faces of
// the LFW crops score under 0.2, and textures give about four a frame here.
constexpr float kCandidato = 0.1f;
// MediaPipe's own threshold for full range: reported without a second look.
constexpr float kCerto = 0.6f;
// The short-range model's score on the closer look that confirms a candidate.
constexpr float kConfirma = 0.75f;
// A candidate from this score gets a second, tighter look when the first fails.
constexpr float kSegundaChance = 0.2f;
// The closer looks: a square this many times the candidate's side around
// it, where the face fills a third (then nearly half) of short range's input.
constexpr double kVolta = 3.0, kVoltaJusta = 2.2;
// A strip far from 16:9 gets at most this many tiles along it.
constexpr int kMaisLadrilhos = 3;
// Closer looks a frame gets at most, the best candidates first: noise or
// a busy texture can raise hundreds, and each costs a forward.
constexpr size_t kMaisOlhares = 32;
// A 16:9 frame has two tiles at once; more workers would only cost memory.
constexpr int kMaisTrabalhadores = 4;

// What one worker runs: its own runtime of each model.
struct Redes {
  std::unique_ptr<ModeloDeRostos> total, curto;
};

class PedidoMediaPipe : public PedidoDeRostos {
 public:
  explicit PedidoMediaPipe(std::vector<Redes> redes)
      : redes_(std::move(redes)), trabalhadores_(static_cast<int>(redes_.size())) {}

  Resultado<ListaDeRostos> executar(const Imagem& imagem) override {
    if (imagem.largura < 1 || imagem.altura < 1 || !imagem.rgb) return Erro{"imagem vazia"};
    falhou_ = false;
    std::vector<Rosto> aceitos, suspeitos;
    for (const Rosto& r : ladrilhos(imagem)) (r.confianca >= kCerto ? aceitos : suspeitos).push_back(r);
    if (suspeitos.size() > kMaisOlhares) {
      std::stable_sort(suspeitos.begin(), suspeitos.end(),
                       [](const Rosto& a, const Rosto& b) { return a.confianca > b.confianca; });
      suspeitos.resize(kMaisOlhares);
    }
    const std::vector<Rosto> confirmados = confirmar(imagem, suspeitos);
    if (falhou_) return Erro{"o XNNPACK falhou ao executar a rede"};
    aceitos.insert(aceitos.end(), confirmados.begin(), confirmados.end());
    return ListaDeRostos(detector::unir(aceitos));
  }

  // One forward of each network per worker on a black frame: a network that
  // cannot run is found at start, not as a run of empty samples.
  bool experimentar() {
    const std::vector<uint8_t> preto(3 * 4 * 4, 0);
    const Imagem imagem{4, 4, 12, preto.data()};
    std::vector<Rosto> rostos;
    for (Redes& r : redes_)
      if (!r.total->detectar(imagem, {0, 0, 4, 4}, kCerto, rostos) || !r.curto->detectar(imagem, {0, 0, 4, 4}, kConfirma, rostos))
        return false;
    return true;
  }

 private:
  // Full range on every tile at once, the candidates merged where tiles overlap.
  std::vector<Rosto> ladrilhos(const Imagem& imagem) {
    // Squares of the shorter side; a frame far from 16:9 (a strip) gets three
    // tiles along it at most.
    const int curto = std::min(imagem.largura, imagem.altura), comprido = std::max(imagem.largura, imagem.altura);
    const std::vector<Recorte> ladrilhos =
        detector::ladrilhosPara(imagem.largura, imagem.altura, std::max(curto, (comprido + 2) / kMaisLadrilhos));
    std::vector<std::vector<Rosto>> porLadrilho(ladrilhos.size());
    std::vector<Trabalhadores::Tarefa> tarefas;
    for (size_t k = 0; k < ladrilhos.size(); ++k)
      tarefas.push_back([&, k](int w) {
        if (!redes_[w].total->detectar(imagem, ladrilhos[k], kCandidato, porLadrilho[k])) falhou_ = true;
      });
    trabalhadores_.executar(tarefas);
    std::vector<Rosto> todos;
    for (const std::vector<Rosto>& rostos : porLadrilho) todos.insert(todos.end(), rostos.begin(), rostos.end());
    return ladrilhos.size() == 1 ? todos : detector::unir(todos);
  }

  // Keeps each candidate that a closer look sees where full range saw it, as
  // the closer look saw it (at a higher resolution).
  std::vector<Rosto> confirmar(const Imagem& imagem, const std::vector<Rosto>& candidatos) {
    std::vector<Rosto> confirmados, outraVez;
    const std::vector<const Rosto*> vistos = olhar(imagem, candidatos, kVolta);
    for (size_t k = 0; k < candidatos.size(); ++k) {
      if (vistos[k])
        confirmados.push_back(*vistos[k]);
      else if (candidatos[k].confianca >= kSegundaChance)
        outraVez.push_back(candidatos[k]);
    }
    for (const Rosto* r : olhar(imagem, outraVez, kVoltaJusta))
      if (r) confirmados.push_back(*r);
    return confirmados;
  }

  // Each candidate's best face on a closer look that overlaps it, or null.
  // The pointers stay valid until the next look.
  std::vector<const Rosto*> olhar(const Imagem& imagem, const std::vector<Rosto>& candidatos, double volta) {
    vistos_.assign(candidatos.size(), {});
    std::vector<Trabalhadores::Tarefa> tarefas;
    for (size_t k = 0; k < candidatos.size(); ++k)
      tarefas.push_back([&, k](int w) {
        const Recorte perto = detector::recorteEmVolta(candidatos[k].caixa, volta, imagem.largura, imagem.altura);
        if (!redes_[w].curto->detectar(imagem, perto, kConfirma, vistos_[k])) falhou_ = true;
      });
    trabalhadores_.executar(tarefas);
    std::vector<const Rosto*> melhores(candidatos.size(), nullptr);
    for (size_t k = 0; k < candidatos.size(); ++k)
      for (const Rosto& r : vistos_[k])
        if (detector::iou(r.caixa, candidatos[k].caixa) > 0.3 && (!melhores[k] || r.confianca > melhores[k]->confianca))
          melhores[k] = &r;
    return melhores;
  }

  std::vector<Redes> redes_;
  Trabalhadores trabalhadores_;
  std::vector<std::vector<Rosto>> vistos_;
  std::atomic<bool> falhou_{false};
};

std::filesystem::path diretorioDoExecutavel() {
  std::error_code erro;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", erro);
  return erro ? std::filesystem::path(".") : exe.parent_path();
}

using Grafo = std::shared_ptr<const detector::Grafo>;

}  // namespace

std::string diretorioDosModelosInstalados() {
  return (diretorioDoExecutavel() / ".." / "share" / "rosto").lexically_normal().string();
}

Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoMediaPipe(const std::string& diretorio,
                                                                const AjustesDoDetector& ajustes) {
  const detector::DescricaoDoModelo &total = detector::alcanceTotal(), &curto = detector::alcanceCurto();
  Resultado<Grafo> grafoTotal = detector::carregarModelo(diretorio + "/" + total.arquivo, total);
  if (!grafoTotal.ok()) return grafoTotal.erro();
  Resultado<Grafo> grafoCurto = detector::carregarModelo(diretorio + "/" + curto.arquivo, curto);
  if (!grafoCurto.ok()) return grafoCurto.erro();
  const int quantos = std::clamp(ajustes.trabalhadores > 0 ? ajustes.trabalhadores : processadoresDisponiveis(), 1,
                                 kMaisTrabalhadores);
  std::vector<Redes> redes;
  for (int k = 0; k < quantos; ++k) {
    auto t = ModeloDeRostos::criar(grafoTotal.valor(), total);
    if (!t.ok()) return t.erro();
    auto c = ModeloDeRostos::criar(grafoCurto.valor(), curto);
    if (!c.ok()) return c.erro();
    redes.push_back({std::move(t.valor()), std::move(c.valor())});
  }
  auto pedido = std::make_unique<PedidoMediaPipe>(std::move(redes));
  if (!pedido->experimentar()) return Erro{"as redes não executaram numa imagem de teste"};
  return std::unique_ptr<PedidoDeRostos>(std::move(pedido));
}

}  // namespace rosto
