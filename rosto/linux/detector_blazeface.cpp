#include "rosto/linux/detector_blazeface.h"

#include <unistd.h>

#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include "rosto/linux/blazeface.h"

namespace rosto {

namespace {

constexpr const char* kCostas = "face_detection_back_256x256_barracuda.onnx";
constexpr const char* kFrente = "face_detection_front_128x128_barracuda.onnx";
constexpr float kLimiarCostas = 0.7f;  // above MediaPipe's 0.65: tiles make texture look like small faces
constexpr float kLimiarFrente = 0.5f;   // and its newer one for the front model
constexpr float kCertezaFrente = 0.75f; // its older one, for faces only it saw
// Faces at least this tall (fraction of the letterboxed side) are big enough
// for the front model to see, so it must agree with the back one.
constexpr double kGrande = 0.16;

// One BlazeFace network with its reusable input and output buffers.
class Rede {
 public:
  Rede(cv::dnn::Net rede, int lado, float limiar) : rede_(std::move(rede)), lado_(lado), limiar_(limiar) {
    const int forma[] = {1, lado, lado, 3};
    entrada_.create(4, forma, CV_32F);
    quadrado_.create(lado, lado, CV_8UC3);
  }

  // Faces of the frame in its own normalized coordinates.
  std::vector<Rosto> detectar(const cv::Mat& quadro) {
    const blazeface::Moldura moldura = prepararEntrada(quadro);
    rede_.setInput(entrada_);
    rede_.forward(saidas_, nomes_);
    candidatos_.clear();
    const auto& ancoras = blazeface::ancoras();
    blazeface::decodificar(saidas_[0].ptr<float>(), saidas_[2].ptr<float>(), ancoras, 0, 512, lado_, limiar_,
                           candidatos_);
    blazeface::decodificar(saidas_[1].ptr<float>(), saidas_[3].ptr<float>(), ancoras, 512, 384, lado_,
                           limiar_, candidatos_);
    std::vector<Rosto> rostos;
    for (const blazeface::Candidato& c : blazeface::suprimir(candidatos_))
      rostos.push_back({blazeface::noQuadro(c, moldura), c.pontuacao});
    return rostos;
  }

 private:
  // Letterbox: aspect kept, black borders, RGB scaled to [-1, 1], NHWC.
  blazeface::Moldura prepararEntrada(const cv::Mat& quadro) {
    const blazeface::Moldura m = blazeface::molduraPara(quadro.cols, quadro.rows, lado_);
    quadrado_.setTo(cv::Scalar::all(0));
    cv::resize(quadro, quadrado_(cv::Rect(m.esquerda, m.topo, m.largura, m.altura)), cv::Size(m.largura, m.altura),
               0, 0, cv::INTER_AREA);
    cv::Mat plano(lado_, lado_, CV_32FC3, entrada_.ptr<float>());
    quadrado_.convertTo(plano, CV_32FC3, 2.0 / 255.0, -1.0);
    return m;
  }

  cv::dnn::Net rede_;
  int lado_;
  float limiar_;
  cv::Mat entrada_, quadrado_;
  std::vector<cv::Mat> saidas_;
  const std::vector<cv::String> nomes_{"Identity:0", "Identity_1:0", "Identity_2:0", "Identity_3:0"};
  std::vector<blazeface::Candidato> candidatos_;
};

class PedidoBlazeFace : public PedidoDeRostos {
 public:
  PedidoBlazeFace(cv::dnn::Net costas, cv::dnn::Net frente)
      : costas_(std::move(costas), 256, kLimiarCostas), frente_(std::move(frente), 128, kLimiarFrente) {}

  Resultado<ListaDeRostos> executar(const Imagem& imagem) override {
    if (imagem.largura < 1 || imagem.altura < 1 || !imagem.rgb) return Erro{"imagem vazia"};
    const cv::Mat quadro(imagem.altura, imagem.largura, CV_8UC3, const_cast<uint8_t*>(imagem.rgb),
                         static_cast<size_t>(imagem.bytesPorLinha));
    try {
      const double grande = kGrande * std::max(imagem.largura, imagem.altura) / imagem.altura;
      return ListaDeRostos(blazeface::combinar(costasPorLadrilhos(quadro), frente_.detectar(quadro), grande,
                                                   kCertezaFrente));
    } catch (const cv::Exception& e) {
      return Erro{e.what()};
    }
  }

 private:
  std::vector<Rosto> costasPorLadrilhos(const cv::Mat& quadro) {
    std::vector<Rosto> rostos;
    const std::vector<blazeface::Ladrilho> ladrilhos = blazeface::ladrilhosPara(quadro.cols, quadro.rows);
    if (ladrilhos.size() == 1) return costas_.detectar(quadro);
    for (const blazeface::Ladrilho& l : ladrilhos)
      for (Rosto r : costas_.detectar(quadro(cv::Rect(l.x, l.y, l.lado, l.lado)))) {
        r.caixa = blazeface::doLadrilho(r.caixa, l, quadro.cols, quadro.rows);
        rostos.push_back(r);
      }
    return blazeface::unir(rostos);
  }

  Rede costas_, frente_;
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

Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoBlazeFace(const std::string& diretorio) {
  Resultado<cv::dnn::Net> costas = carregar(diretorio + "/" + kCostas);
  if (!costas.ok()) return costas.erro();
  Resultado<cv::dnn::Net> frente = carregar(diretorio + "/" + kFrente);
  if (!frente.ok()) return frente.erro();
  return std::unique_ptr<PedidoDeRostos>(std::make_unique<PedidoBlazeFace>(std::move(costas.valor()),
                                                                           std::move(frente.valor())));
}

}  // namespace rosto
