#include "rosto/linux/detector_blazeface.h"

#include <unistd.h>

#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include "rosto/linux/blazeface.h"

namespace rosto {

namespace {

constexpr int kLado = 256;          // the back-camera model: small faces too
constexpr float kLimiar = 0.65f;    // MediaPipe's own threshold for this model
constexpr const char* kModelo = "face_detection_back_256x256_barracuda.onnx";

class PedidoBlazeFace : public PedidoDeRostos {
 public:
  explicit PedidoBlazeFace(cv::dnn::Net rede) : rede_(std::move(rede)) {
    const int forma[] = {1, kLado, kLado, 3};
    entrada_.create(4, forma, CV_32F);
    quadrado_.create(kLado, kLado, CV_8UC3);
    nomes_ = {"Identity:0", "Identity_1:0", "Identity_2:0", "Identity_3:0"};
  }

  Resultado<ListaDeRostos> executar(const Imagem& imagem) override {
    if (imagem.largura < 1 || imagem.altura < 1 || !imagem.rgb) return Erro{"imagem vazia"};
    try {
      const blazeface::Moldura moldura = prepararEntrada(imagem);
      rede_.setInput(entrada_);
      rede_.forward(saidas_, nomes_);
      return ListaDeRostos(rostosEm(moldura));
    } catch (const cv::Exception& e) {
      return Erro{e.what()};
    }
  }

 private:
  // Letterbox: aspect kept, black borders, RGB scaled to [-1, 1], NHWC.
  blazeface::Moldura prepararEntrada(const Imagem& imagem) {
    const cv::Mat quadro(imagem.altura, imagem.largura, CV_8UC3, const_cast<uint8_t*>(imagem.rgb),
                         static_cast<size_t>(imagem.bytesPorLinha));
    const blazeface::Moldura m = blazeface::molduraPara(imagem.largura, imagem.altura, kLado);
    quadrado_.setTo(cv::Scalar::all(0));
    cv::resize(quadro, quadrado_(cv::Rect(m.esquerda, m.topo, m.largura, m.altura)),
               cv::Size(m.largura, m.altura), 0, 0, cv::INTER_AREA);
    cv::Mat plano(kLado, kLado, CV_32FC3, entrada_.ptr<float>());
    quadrado_.convertTo(plano, CV_32FC3, 2.0 / 255.0, -1.0);
    return m;
  }

  std::vector<Rosto> rostosEm(const blazeface::Moldura& moldura) {
    candidatos_.clear();
    const auto& ancoras = blazeface::ancoras();
    blazeface::decodificar(saidas_[0].ptr<float>(), saidas_[2].ptr<float>(), ancoras, 0, 512, kLado,
                           kLimiar, candidatos_);
    blazeface::decodificar(saidas_[1].ptr<float>(), saidas_[3].ptr<float>(), ancoras, 512, 384, kLado,
                           kLimiar, candidatos_);
    std::vector<Rosto> rostos;
    for (const blazeface::Candidato& c : blazeface::suprimir(candidatos_))
      rostos.push_back({blazeface::noQuadro(c, moldura), c.pontuacao});
    return rostos;
  }

  cv::dnn::Net rede_;
  cv::Mat entrada_, quadrado_;
  std::vector<cv::Mat> saidas_;
  std::vector<cv::String> nomes_;
  std::vector<blazeface::Candidato> candidatos_;
};

std::filesystem::path diretorioDoExecutavel() {
  std::error_code erro;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", erro);
  return erro ? std::filesystem::path(".") : exe.parent_path();
}

}  // namespace

std::string caminhoDoModeloInstalado() {
  return (diretorioDoExecutavel() / ".." / "share" / "rosto" / kModelo).lexically_normal().string();
}

Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoBlazeFace(const std::string& caminhoDoModelo) {
  if (access(caminhoDoModelo.c_str(), R_OK) != 0) return Erro{"modelo ausente ou ilegível: " + caminhoDoModelo};
  try {
    cv::dnn::Net rede = cv::dnn::readNetFromONNX(caminhoDoModelo);
    if (rede.empty()) return Erro{"modelo inválido: " + caminhoDoModelo};
    return std::unique_ptr<PedidoDeRostos>(std::make_unique<PedidoBlazeFace>(std::move(rede)));
  } catch (const cv::Exception& e) {
    return Erro{"modelo inválido: " + caminhoDoModelo + ": " + e.msg};
  }
}

}  // namespace rosto
