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

// Intersection over union of two boxes in the same coordinates.
double iou(const Retangulo& a, const Retangulo& b);

// A square part of the frame, in its pixels. Small faces are looked for
// tile by tile, so that they reach the network at a size it can see.
struct Ladrilho {
  int x, y, lado;
};

// Squares along the longer side covering the whole frame, overlapping
// evenly; a single one (the whole frame) when it is close to square.
std::vector<Ladrilho> ladrilhosPara(int largura, int altura);

// A tile-normalized box (lower-left origin) in the frame's normalized coordinates.
Retangulo doLadrilho(const Retangulo& r, const Ladrilho& l, int largura, int altura);

// Any part of the frame, in its pixels.
struct Recorte {
  int x, y, largura, altura;
};

// A box normalized to a part of the frame, in the frame's normalized coordinates.
Retangulo doRecorte(const Retangulo& r, const Recorte& c, int largura, int altura);

// The square `fator` times the box's larger side around its centre, cut to
// the frame: where a small face is looked at again, closer.
Recorte recorteEmVolta(const Retangulo& caixa, double fator, int largura, int altura);

// Merges the faces that tiles found twice where they overlap.
std::vector<Rosto> unir(const std::vector<Rosto>& rostos);

// The back model also fires on large face-like things (a cat, a cup from
// above); the front model, which sees only large faces, does not. Keeps the
// back model's faces shorter than `grande` (frame-relative height) and its
// larger ones that a front face overlaps, then adds the front faces nothing
// kept overlaps and that score at least `certeza` (a large face cut by a tile edge).
std::vector<Rosto> combinar(const std::vector<Rosto>& costas, const std::vector<Rosto>& frente, double grande,
                            float certeza);

}  // namespace rosto::blazeface
