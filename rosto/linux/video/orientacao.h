#pragma once
// Turning a decoded frame into its displayed orientation (rotation, mirror).
#include <cstdint>
#include <vector>

#include "rosto/plataforma.h"

namespace rosto {

// The display transform reduced to its nearest axis-aligned form: each of
// a, b, c, d is -1, 0 or 1, with exactly one non-zero per row.
struct Orientacao {
  int a = 1, b = 0, c = 0, d = 1;
  bool trocaEixos() const { return a == 0; }
  bool identidade() const { return a == 1 && b == 0 && c == 0 && d == 1; }
};

Orientacao orientacaoDe(const Transformacao& t);

// Writes the displayed image of a packed RGB image `largura` × `altura`
// (row 0 at the top) into `destino`: displayed pixel
// (a·x + c·y + ox, b·x + d·y + oy), the offsets keeping it in range.
// Gives the displayed width and height.
Tamanho orientar(const uint8_t* origem, int largura, int altura, int bytesPorLinha, Orientacao o,
                 std::vector<uint8_t>& destino);

}  // namespace rosto
