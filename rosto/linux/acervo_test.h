#pragma once
// Frames made from real photographs for judging the detector: faces of many
// people (profiles, three-quarter views, glasses, mirrored) laid out at a
// chosen height like a video-call grid or a photo wall, and face-free
// textures at several scales and crops. Everything comes from .fotos/.
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "rosto/plataforma.h"

namespace rosto::acervo {

// A photo as packed RGB, read through the same FFmpeg path as video frames.
cv::Mat foto(const std::string& nome);

// The faces the run's detector finds in a frame; a failed detection fails the test.
std::vector<Rosto> rostosEm(PedidoDeRostos& pedido, const cv::Mat& rgb);

// One detector with the default settings, made on first use and shared.
PedidoDeRostos& detectorPadrao();

// A face of known place: the picture around it and the face's square in it.
struct Retrato {
  std::string origem;
  cv::Mat imagem;
  cv::Rect2d rosto;
};

// Every face of the set: the 100 faces of the LFW subset and the faces of
// the full photographs, each also mirrored.
std::vector<Retrato> retratos();

// 640×360 frames holding every portrait once with its face `altura` pixels
// tall, on face-free backgrounds, and where each face is.
struct Quadro {
  cv::Mat rgb;
  std::vector<cv::Rect2d> rostos;
};
std::vector<Quadro> grades(const std::vector<Retrato>& retratos, int altura, unsigned semente);

// The portraits rolled by `graus` (counter-clockwise) about the face's centre,
// on a canvas large enough to keep all of the picture.
std::vector<Retrato> rolados(const std::vector<Retrato>& retratos, double graus);

// What cameras and networks do to frames: too little light, a moving
// camera, sensor noise, and a video coded at a very low bitrate.
enum class Condicao { escuro, borrado, ruidoso, comprimido };
const char* nomeDe(Condicao c);
// The frames under `c`; the faces stay where they were.
std::vector<Quadro> sob(Condicao c, std::vector<Quadro> quadros);

// Face-free 640×360 frames: each texture whole, zoomed in 2× and 4× at
// several crops, shrunk and repeated, and the LFW non-face patches in grids.
std::vector<Quadro> texturas();

}  // namespace rosto::acervo
