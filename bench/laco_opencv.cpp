// What a user writes by hand: seek OpenCV's VideoCapture to each sample time,
// read a frame, scale it like rosto does and run the same detector.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "rosto/linux/detector/detector_mediapipe.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "uso: bench_laco_opencv <video> <modelos> [fps]\n");
    return 2;
  }
  const double fps = argc > 3 ? std::atof(argv[3]) : 5.0;
  const auto inicio = std::chrono::steady_clock::now();
  cv::VideoCapture video(argv[1], cv::CAP_FFMPEG);
  auto pedido = rosto::criarPedidoMediaPipe(argv[2]);
  if (!video.isOpened() || !pedido.ok()) return 1;
  const double duracao = video.get(cv::CAP_PROP_FRAME_COUNT) / video.get(cv::CAP_PROP_FPS);
  cv::Mat quadro, pequeno, rgb;
  int amostras = 0, comRosto = 0;
  for (double t = 0; t < duracao; t += 1 / fps) {
    video.set(cv::CAP_PROP_POS_MSEC, t * 1000);
    if (!video.read(quadro)) continue;
    const double escala = std::min(1.0, 640.0 / std::max(quadro.cols, quadro.rows));
    cv::resize(quadro, pequeno, cv::Size(), escala, escala, cv::INTER_AREA);
    cv::cvtColor(pequeno, rgb, cv::COLOR_BGR2RGB);
    auto r = pedido.valor()->executar({rgb.cols, rgb.rows, static_cast<int>(rgb.step), rgb.data});
    ++amostras;
    comRosto += r.ok() && r.valor() && !r.valor()->empty();
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  std::printf("%.3f %d %d\n", s, amostras, comRosto);
}
