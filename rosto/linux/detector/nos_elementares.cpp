#include "rosto/linux/detector/nos_elementares.h"

namespace rosto::detector {

#ifdef ROSTO_XNNPACK_BINARIO

bool definirSoma(xnn_subgraph_t sub, float minimo, float maximo, uint32_t a, uint32_t b, uint32_t saida) {
  const xnn_binary_params limites{minimo, maximo};
  return xnn_define_binary(sub, xnn_binary_add, &limites, a, b, saida, 0) == xnn_status_success;
}

bool definirLimites(xnn_subgraph_t sub, float minimo, float maximo, uint32_t entrada, uint32_t saida) {
  xnn_unary_params p{};
  p.clamp.min = minimo;
  p.clamp.max = maximo;
  return xnn_define_unary(sub, xnn_unary_clamp, &p, entrada, saida, 0) == xnn_status_success;
}

bool definirPrelu(xnn_subgraph_t sub, uint32_t entrada, uint32_t inclinacoes, uint32_t saida) {
  return xnn_define_binary(sub, xnn_binary_prelu, nullptr, entrada, inclinacoes, saida, 0) == xnn_status_success;
}

#else

bool definirSoma(xnn_subgraph_t sub, float minimo, float maximo, uint32_t a, uint32_t b, uint32_t saida) {
  return xnn_define_add2(sub, minimo, maximo, a, b, saida, 0) == xnn_status_success;
}

bool definirLimites(xnn_subgraph_t sub, float minimo, float maximo, uint32_t entrada, uint32_t saida) {
  return xnn_define_clamp(sub, minimo, maximo, entrada, saida, 0) == xnn_status_success;
}

bool definirPrelu(xnn_subgraph_t sub, uint32_t entrada, uint32_t inclinacoes, uint32_t saida) {
  return xnn_define_prelu(sub, entrada, inclinacoes, saida, 0) == xnn_status_success;
}

#endif

}  // namespace rosto::detector
