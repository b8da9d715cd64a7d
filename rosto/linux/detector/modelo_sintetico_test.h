#pragma once
// Small .tflite models built in the tests, to feed the loader what a real
// file could hold: the tables at the schema's field ids, any values.
#include <cstdint>
#include <vector>

namespace rosto::detector::teste {

struct TensorSintetico {
  std::vector<int32_t> forma;
  int8_t tipo = 0;                 // TensorType
  std::vector<uint8_t> dados;      // the buffer's bytes; empty for a computed tensor
  bool esparso = false;
};

struct OperadorSintetico {
  int32_t codigo;                  // BuiltinOperator
  std::vector<int32_t> entradas, saidas;
  uint8_t tipoDeOpcoes = 0;        // BuiltinOptions tag
  std::vector<int32_t> opcoes;     // the options table's fields 0, 1, …, each an int32
  std::vector<uint8_t> tamanhos;   // each field's byte size (1 or 4); all 4 when empty
};

struct ModeloSintetico {
  uint32_t versao = 3;
  std::vector<TensorSintetico> tensores;
  std::vector<OperadorSintetico> operadores;
  std::vector<int32_t> entradas, saidas;
  const char* identificador = "TFL3";
};

// The model as a file's bytes (in memory the builder aligned).
std::vector<uint8_t> construir(const ModeloSintetico& m);

std::vector<uint8_t> bytesDe(const std::vector<float>& valores);

// input [1,4,4,2] → CONV_2D 3×3 SAME, stride 1, two filters → output [1,4,4,2].
ModeloSintetico convolucaoSimples();

}  // namespace rosto::detector::teste
