#pragma once
// BlazeFace's output decoding: anchors, boxes, weighted suppression, and the
// letterbox that maps boxes back to the frame. Pure arithmetic, no OpenCV.
#include <vector>

#include "rosto/plataforma.h"

namespace rosto::blazeface {

struct Ancora {
  float x, y;  // centre, as a fraction of the square input
};

// The 896 anchors: a 16×16 grid with 2 per cell, then an 8×8 grid with 6.
const std::vector<Ancora>& ancoras();

// A box in the square input, as fractions of its side, y growing downwards.
struct Candidato {
  float xmin, ymin, xmax, ymax;
  float pontuacao;
};

// Turns raw scores (one per anchor) and regressors (16 per anchor) into the
// candidates scoring at least `limiar`. `lado` is the input's side in pixels.
void decodificar(const float* pontuacoes, const float* regressores, const std::vector<Ancora>& ancoras,
                 size_t primeira, size_t quantas, int lado, float limiar, std::vector<Candidato>& saida);

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

}  // namespace rosto::blazeface
