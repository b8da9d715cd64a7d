#include "rosto/linux/rede_blazeface.h"

#include <opencv2/imgproc.hpp>

namespace rosto {

namespace {
const std::vector<cv::String> kSaidas{"Identity:0", "Identity_1:0", "Identity_2:0", "Identity_3:0"};
}

RedeBlazeFace::RedeBlazeFace(cv::dnn::Net rede, int lado) : rede_(std::move(rede)), lado_(lado) {
  const int forma[] = {1, lado, lado, 3};
  entrada_.create(4, forma, CV_32F);
  quadrado_.create(lado, lado, CV_8UC3);
}

std::vector<Rosto> RedeBlazeFace::detectar(const cv::Mat& imagem, float limiar) {
  const blazeface::Moldura moldura = prepararEntrada(imagem);
  rede_.setInput(entrada_);
  rede_.forward(saidas_, kSaidas);
  candidatos_.clear();
  const auto& ancoras = blazeface::ancoras();
  blazeface::decodificar(saidas_[0].ptr<float>(), saidas_[2].ptr<float>(), ancoras, 0, 512, lado_, limiar,
                         candidatos_);
  blazeface::decodificar(saidas_[1].ptr<float>(), saidas_[3].ptr<float>(), ancoras, 512, 384, lado_, limiar,
                         candidatos_);
  std::vector<Rosto> rostos;
  for (const blazeface::Candidato& c : blazeface::suprimir(candidatos_))
    rostos.push_back({blazeface::noQuadro(c, moldura), c.pontuacao});
  return rostos;
}

blazeface::Moldura RedeBlazeFace::prepararEntrada(const cv::Mat& imagem) {
  const blazeface::Moldura m = blazeface::molduraPara(imagem.cols, imagem.rows, lado_);
  quadrado_.setTo(cv::Scalar::all(0));
  // Area averaging when shrinking; bilinear when a small face is enlarged.
  const bool encolhe = m.largura <= imagem.cols;
  cv::resize(imagem, quadrado_(cv::Rect(m.esquerda, m.topo, m.largura, m.altura)), cv::Size(m.largura, m.altura), 0,
             0, encolhe ? cv::INTER_AREA : cv::INTER_LINEAR);
  cv::Mat plano(lado_, lado_, CV_32FC3, entrada_.ptr<float>());
  quadrado_.convertTo(plano, CV_32FC3, 2.0 / 255.0, -1.0);
  return m;
}

}  // namespace rosto
