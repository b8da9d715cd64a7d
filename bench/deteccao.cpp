// Detection alone on 640x360 frames: rosto's face request (MediaPipe's models
// on XNNPACK) against OpenCV's Haar cascade on the same frames. Prints median milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <vector>

#include "rosto/linux/detector/detector_mediapipe.h"
#include "rosto/linux/video/video_ffmpeg.h"

namespace {

std::vector<cv::Mat> quadros(const char* video, int quantos) {
  auto ativo = rosto::abrirAtivoFFmpeg(video);
  rosto::AjustesDoGerador a;
  a.toleranciaDepois = {1, 30};
  a.tamanhoMaximo = {640, 360};
  auto g = ativo->criarGerador(a);
  std::vector<cv::Mat> q;
  for (int k = 0; k < quantos; ++k) {
    auto r = g->imagemEm({k * 120, 600});
    if (!r.ok()) break;
    const rosto::Imagem& i = r.valor();
    q.push_back(cv::Mat(i.altura, i.largura, CV_8UC3, const_cast<uint8_t*>(i.rgb), i.bytesPorLinha).clone());
  }
  return q;
}

template <typename F>
double mediana(const std::vector<cv::Mat>& q, F&& detectar) {
  std::vector<double> ms;
  for (int volta = 0; volta < 2; ++volta)
    for (const cv::Mat& m : q) {
      const auto t0 = std::chrono::steady_clock::now();
      detectar(m);
      ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "uso: bench_deteccao <video> <modelos> <haarcascade.xml>\n");
    return 2;
  }
  const std::vector<cv::Mat> q = quadros(argv[1], 100);
  auto pedido = rosto::criarPedidoMediaPipe(argv[2]);
  if (!pedido.ok() || q.empty()) return 1;
  int achadosB = 0, achadosH = 0;
  const double blaze = mediana(q, [&](const cv::Mat& m) {
    auto r = pedido.valor()->executar({m.cols, m.rows, static_cast<int>(m.step), m.data});
    achadosB += r.ok() && r.valor() && !r.valor()->empty();
  });
  cv::CascadeClassifier haar(argv[3]);
  cv::Mat cinza;
  std::vector<cv::Rect> rostos;
  const double cascata = mediana(q, [&](const cv::Mat& m) {
    cv::cvtColor(m, cinza, cv::COLOR_RGB2GRAY);
    haar.detectMultiScale(cinza, rostos, 1.1, 3, 0, cv::Size(20, 20));
    achadosH += !rostos.empty();
  });
  std::printf("%.2f %.2f %d %d %zu\n", blaze, cascata, achadosB / 2, achadosH / 2, q.size());
}
