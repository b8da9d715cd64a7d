#pragma once
// MediaPipe's face-model output decoding: SSD anchors, boxes, weighted
// suppression, and the geometry that maps boxes back to the frame (the
// letterbox, tiles, closer looks). Pure arithmetic.
#include <vector>

#include "rosto/plataforma.h"

namespace rosto::detector {

struct Ancora {
  float x, y;  // centre, as a fraction of the square input
};

// MediaPipe's SsdAnchorsCalculator with fixed-size anchors, as its face
// graphs set it: one grid per stride, cell centres at offset 0.5; strides
// that repeat share one grid, each repeat adding its anchors per cell
// (two each with the interpolated anchor, one without).
struct OpcoesDasAncoras {
  int lado;                  // the square input's side in pixels
  std::vector<int> passos;   // strides, one per output layer
  bool interpolada;          // interpolated_scale_aspect_ratio != 0
};
std::vector<Ancora> ancorasSsd(const OpcoesDasAncoras& opcoes);

// A box in the square input, as fractions of its side, y growing downwards.
struct Candidato {
  float xmin, ymin, xmax, ymax;
  float pontuacao;
};

// Turns raw scores (one per anchor, clipped to ±100 before the sigmoid) and
// regressors (16 per anchor: x, y, w, h first) into the candidates scoring
// at least `limiar`. `lado` is the input's side in pixels, the boxes' scale.
void decodificar(const float* pontuacoes, const float* regressores, const std::vector<Ancora>& ancoras, int lado,
                 float limiar, std::vector<Candidato>& saida);

// Weighted non-maximum suppression: best first, each box absorbs those
// overlapping it by more than `iou`, corners averaged by score.
std::vector<Candidato> suprimir(std::vector<Candidato> candidatos, float iou = 0.3f);

// Where a frame sits in the square input after an aspect-keeping resize.
struct Moldura {
  int esquerda, topo, largura, altura;  // pixels of the square
  int lado;
};
Moldura molduraPara(int largura, int altura, int lado);

// A square-input box mapped back to the frame: normalized, lower-left origin.
Retangulo noQuadro(const Candidato& c, const Moldura& m);

// Intersection over union of two boxes in the same coordinates.
double iou(const Retangulo& a, const Retangulo& b);

// Any part of the frame, in its pixels.
struct Recorte {
  int x, y, largura, altura;
};

// Squares of side `lado` covering the whole frame, evenly overlapping, row
// by row, each cut to the frame where `lado` passes its shorter side; the
// whole frame alone when it is within 15% of square and `lado` reaches its
// shorter side. Small faces are looked for tile by tile, so that they reach
// the network at a size it sees.
std::vector<Recorte> ladrilhosPara(int largura, int altura, int lado);

// A box normalized to a part of the frame, in the frame's normalized coordinates.
Retangulo doRecorte(const Retangulo& r, const Recorte& c, int largura, int altura);

// The square `fator` times the box's larger side around its centre, cut to
// the frame: where a small face is looked at again, closer.
Recorte recorteEmVolta(const Retangulo& caixa, double fator, int largura, int altura);

// Merges the faces that tiles found twice where they overlap.
std::vector<Rosto> unir(const std::vector<Rosto>& rostos);

}  // namespace rosto::detector
