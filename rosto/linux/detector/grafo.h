#pragma once
// A face model's network as read from its .tflite file: the tensors with
// their shapes and constant values, and the operations in execution order.
// Every operation's output shape has been checked against its inputs, so a
// backend can trust the shapes. fp16 weights are already fp32 here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "rosto/resultado.h"

namespace rosto::detector {

enum class Operacao {
  soma,            // ADD, same shapes
  concatenacao,    // CONCATENATION along `eixo`
  convolucao,      // CONV_2D, NHWC, filter [O, KH, KW, I]
  porCanal,        // DEPTHWISE_CONV_2D, filter [1, KH, KW, C·multiplier]
  maximoLocal,     // MAX_POOL_2D
  relu,            // RELU
  prelu,           // PRELU, one slope per channel
  redimensionar,   // RESIZE_BILINEAR
  reformatar,      // RESHAPE
  preencher,       // PAD with zeros
};

struct Tensor {
  std::vector<size_t> forma;
  std::vector<float> constante;  // the values of a constant tensor; empty otherwise

  size_t elementos() const;
  bool ehConstante() const { return !constante.empty(); }
};

constexpr int kSemTensor = -1;  // an optional input left out (a bias)

struct No {
  Operacao operacao = Operacao::soma;
  std::vector<int> entradas;  // tensor indices; a constant's index for weights
  int saida = kSemTensor;
  int passoH = 1, passoW = 1;
  int filtroH = 1, filtroW = 1;  // pooling window
  int dilatacaoH = 1, dilatacaoW = 1;
  bool mesmo = false;  // TensorFlow's SAME padding, else VALID
  float minimo = -std::numeric_limits<float>::infinity();  // fused activation
  float maximo = std::numeric_limits<float>::infinity();
  bool alinhaCantos = false, meioPixel = false;  // bilinear resize
  int eixo = 0;                                  // concatenation
  std::array<size_t, 4> antes{}, depois{};       // padding, per NHWC dimension
};

struct Grafo {
  std::vector<Tensor> tensores;
  std::vector<No> nos;
  std::vector<int> entradas, saidas;
};

// The network in a .tflite file's bytes (16-byte aligned), or why it cannot
// be used: not a model of this format, an operator or type the loader does
// not know, a shape that does not follow from the operation's inputs.
Resultado<Grafo> lerGrafo(const uint8_t* bytes, size_t tamanho);

// The same for bytes at any address: copied first into aligned memory.
Resultado<Grafo> lerGrafoDeCopia(const uint8_t* bytes, size_t tamanho);

}  // namespace rosto::detector
