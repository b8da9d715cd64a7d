#pragma once
// A plain, slow implementation of the operations a Grafo holds, written from
// TensorFlow Lite's definitions, to check what XNNPACK computes.
#include <vector>

#include "rosto/linux/detector/grafo.h"

namespace rosto::detector {

// Every tensor's values after running `grafo` on `entrada` (its first input).
std::vector<std::vector<float>> executarReferencia(const Grafo& grafo, const std::vector<float>& entrada);

}  // namespace rosto::detector
