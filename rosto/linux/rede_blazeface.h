#pragma once
// One BlazeFace network with its reusable input and output buffers. Not to
// be shared between threads: each worker has its own.
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <vector>

#include "rosto/linux/blazeface.h"
#include "rosto/plataforma.h"

namespace rosto {

class RedeBlazeFace {
 public:
  // `lado`: the model's square input (256 back, 128 front).
  RedeBlazeFace(cv::dnn::Net rede, int lado);

  // Faces of the image scoring at least `limiar`, in its own normalized coordinates.
  std::vector<Rosto> detectar(const cv::Mat& imagem, float limiar);

 private:
  // Letterbox: aspect kept, black borders, RGB scaled to [-1, 1], NHWC.
  blazeface::Moldura prepararEntrada(const cv::Mat& imagem);

  cv::dnn::Net rede_;
  int lado_;
  cv::Mat entrada_, quadrado_;
  std::vector<cv::Mat> saidas_;
  std::vector<blazeface::Candidato> candidatos_;
};

}  // namespace rosto
