#include "rosto/linux/detector_blazeface.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include "rosto/linux/blazeface.h"
#include "rosto/linux/rede_blazeface.h"
#include "rosto/linux/trabalhadores.h"

namespace rosto {

namespace {

constexpr const char* kCostas = "face_detection_back_256x256_barracuda.onnx";
constexpr const char* kFrente = "face_detection_front_128x128_barracuda.onnx";
// The back model's small faces from this score on are candidates, each
// confirmed or dropped by a closer look (AjustesBlazeFace::confirmacao).
// Its score alone does not part small faces from textures: on the test
// photographs textures reach 0.77 and most small faces score under 0.7.
constexpr float kCandidato = 0.3f;
constexpr float kLimiarCostas = 0.7f;   // a large back face also needs the front model's agreement
constexpr float kLimiarFrente = 0.5f;   // MediaPipe's newer threshold for the front model
constexpr float kCertezaFrente = 0.75f; // its older one, for faces only it saw
// The closer look: a square this many times the candidate's side, given to
// the front model, where the face then fills a third of the input.
constexpr double kVolta = 3.0;
constexpr double kVoltaJusta = 2.2;  // the second look: the face fills nearly half
// Faces at least this tall (fraction of the letterboxed side) are big enough
// for the front model to see, so it must agree with the back one.
constexpr double kGrande = 0.16;
// A 16:9 frame gives three forwards at once (two tiles and the front pass);
// each worker's networks hold about 11 MB, so more would only cost memory.
constexpr int kMaisTrabalhadores = 4;

// What one worker needs: its own copy of each network.
struct Redes {
  RedeBlazeFace costas, frente;
};

cv::Mat recortar(const cv::Mat& quadro, const blazeface::Recorte& r) {
  return quadro(cv::Rect(r.x, r.y, r.largura, r.altura));
}

class PedidoBlazeFace : public PedidoDeRostos {
 public:
  PedidoBlazeFace(std::vector<Redes> redes, const AjustesBlazeFace& ajustes)
      : redes_(std::move(redes)), trabalhadores_(static_cast<int>(redes_.size())), confirmacao_(ajustes.confirmacao) {}

  Resultado<ListaDeRostos> executar(const Imagem& imagem) override {
    if (imagem.largura < 1 || imagem.altura < 1 || !imagem.rgb) return Erro{"imagem vazia"};
    const cv::Mat quadro(imagem.altura, imagem.largura, CV_8UC3, const_cast<uint8_t*>(imagem.rgb),
                         static_cast<size_t>(imagem.bytesPorLinha));
    try {
      return ListaDeRostos(detectar(quadro));
    } catch (const cv::Exception& e) {
      return Erro{e.what()};
    }
  }

 private:
  std::vector<Rosto> detectar(const cv::Mat& quadro) {
    std::vector<Rosto> frente;
    const std::vector<Rosto> costas = costasEFrente(quadro, frente);
    const double grande = kGrande * std::max(quadro.cols, quadro.rows) / quadro.rows;
    std::vector<Rosto> pequenos, grandes;
    for (const Rosto& r : costas) {
      if (r.caixa.altura < grande)
        pequenos.push_back(r);
      else if (r.confianca >= kLimiarCostas)
        grandes.push_back(r);
    }
    std::vector<Rosto> mantidos = confirmar(quadro, pequenos);
    mantidos.insert(mantidos.end(), grandes.begin(), grandes.end());
    return blazeface::combinar(mantidos, frente, grande, kCertezaFrente);
  }

  // The back model tile by tile and the front model on the whole frame, all
  // at once; the tiles' faces merged where they overlap.
  std::vector<Rosto> costasEFrente(const cv::Mat& quadro, std::vector<Rosto>& frente) {
    const std::vector<blazeface::Ladrilho> ladrilhos = blazeface::ladrilhosPara(quadro.cols, quadro.rows);
    std::vector<std::vector<Rosto>> porLadrilho(ladrilhos.size());
    std::vector<Trabalhadores::Tarefa> tarefas;
    for (size_t k = 0; k < ladrilhos.size(); ++k)
      tarefas.push_back([&, k](int w) {
        const blazeface::Ladrilho& l = ladrilhos[k];
        porLadrilho[k] = redes_[w].costas.detectar(recortar(quadro, {l.x, l.y, l.lado, l.lado}), kCandidato);
      });
    tarefas.push_back([&](int w) { frente = redes_[w].frente.detectar(quadro, kLimiarFrente); });
    trabalhadores_.executar(tarefas);
    if (ladrilhos.size() == 1) return porLadrilho[0];
    std::vector<Rosto> todos;
    for (size_t k = 0; k < ladrilhos.size(); ++k)
      for (Rosto r : porLadrilho[k]) {
        r.caixa = blazeface::doLadrilho(r.caixa, ladrilhos[k], quadro.cols, quadro.rows);
        todos.push_back(r);
      }
    return blazeface::unir(todos);
  }

  // Looks again at each small candidate, enlarged; keeps those the front
  // model then sees where the back model saw them, as the front model saw
  // them. A candidate the back model is fairly sure of gets a second, tighter
  // look: the front model misses some faces of 35-100 px at the wider one.
  std::vector<Rosto> confirmar(const cv::Mat& quadro, const std::vector<Rosto>& candidatos) {
    struct Olhar {
      size_t candidato;
      blazeface::Recorte recorte;
      std::vector<Rosto> vistos;
    };
    std::vector<Olhar> olhares;
    for (size_t k = 0; k < candidatos.size(); ++k) {
      const Retangulo& caixa = candidatos[k].caixa;
      olhares.push_back({k, blazeface::recorteEmVolta(caixa, kVolta, quadro.cols, quadro.rows), {}});
      if (candidatos[k].confianca >= kLimiarCostas)
        olhares.push_back({k, blazeface::recorteEmVolta(caixa, kVoltaJusta, quadro.cols, quadro.rows), {}});
    }
    std::vector<Trabalhadores::Tarefa> tarefas;
    for (Olhar& o : olhares)
      tarefas.push_back([&](int w) { o.vistos = redes_[w].frente.detectar(recortar(quadro, o.recorte), confirmacao_); });
    trabalhadores_.executar(tarefas);
    std::vector<Rosto> confirmados;
    std::vector<bool> feito(candidatos.size(), false);
    for (const Olhar& o : olhares)
      for (Rosto r : o.vistos) {
        r.caixa = blazeface::doRecorte(r.caixa, o.recorte, quadro.cols, quadro.rows);
        if (!feito[o.candidato] && blazeface::iou(r.caixa, candidatos[o.candidato].caixa) > 0.3) {
          confirmados.push_back(r);
          feito[o.candidato] = true;
        }
      }
    return confirmados;
  }

  std::vector<Redes> redes_;
  Trabalhadores trabalhadores_;
  float confirmacao_;
};

std::filesystem::path diretorioDoExecutavel() {
  std::error_code erro;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", erro);
  return erro ? std::filesystem::path(".") : exe.parent_path();
}

Resultado<cv::dnn::Net> carregar(const std::string& caminho) {
  if (access(caminho.c_str(), R_OK) != 0) return Erro{"modelo ausente ou ilegível: " + caminho};
  try {
    cv::dnn::Net rede = cv::dnn::readNetFromONNX(caminho);
    if (rede.empty()) return Erro{"modelo inválido: " + caminho};
    return rede;
  } catch (const cv::Exception& e) {
    return Erro{"modelo inválido: " + caminho + ": " + e.msg};
  }
}

}  // namespace

std::string diretorioDosModelosInstalados() {
  return (diretorioDoExecutavel() / ".." / "share" / "rosto").lexically_normal().string();
}

Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoBlazeFace(const std::string& diretorio,
                                                                const AjustesBlazeFace& ajustes) {
  // Parallel work is ours, one network per thread: OpenCV's own threads
  // bought nothing for these networks, and one thread each keeps every
  // forward computed the same way whatever the number of workers.
  cv::setNumThreads(1);
  const int quantos = std::clamp(ajustes.trabalhadores > 0 ? ajustes.trabalhadores : processadoresDisponiveis(), 1,
                                 kMaisTrabalhadores);
  std::vector<Redes> redes;
  for (int k = 0; k < quantos; ++k) {
    Resultado<cv::dnn::Net> costas = carregar(diretorio + "/" + kCostas);
    if (!costas.ok()) return costas.erro();
    Resultado<cv::dnn::Net> frente = carregar(diretorio + "/" + kFrente);
    if (!frente.ok()) return frente.erro();
    redes.push_back({RedeBlazeFace(std::move(costas.valor()), 256), RedeBlazeFace(std::move(frente.valor()), 128)});
  }
  return std::unique_ptr<PedidoDeRostos>(std::make_unique<PedidoBlazeFace>(std::move(redes), ajustes));
}

}  // namespace rosto
