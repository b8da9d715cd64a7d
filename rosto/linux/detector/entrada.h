#pragma once
// What a face model is given: a part of an RGB frame resized into its square
// float input, aspect kept and centred on black, as MediaPipe's
// ImageToTensor does it (values from -1 to 1, border zero before scaling).
#include <vector>

#include "rosto/linux/detector/decodificacao.h"
#include "rosto/plataforma.h"

namespace rosto::detector {

// The part of `r` inside an image of largura × altura (possibly empty).
Recorte cortarNaImagem(Recorte r, int largura, int altura);

// Writes `lado`×`lado`×3 floats at `entrada`; `recorte` is cut to the image
// first (an empty cut leaves the input all black). Shrinking averages the
// pixels each input pixel covers; enlarging interpolates bilinearly.
// `rascunho` is working memory the caller keeps between calls.
Moldura enquadrar(const Imagem& imagem, Recorte recorte, int lado, float* entrada, std::vector<float>& rascunho);

}  // namespace rosto::detector
