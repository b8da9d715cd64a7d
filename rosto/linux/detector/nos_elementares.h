#pragma once
// The element-wise nodes (add, clamp, PReLU) in whichever form the installed
// XNNPACK documents: newer releases replaced the one-function-per-operator
// calls, which they keep only as deprecated, by xnn_define_binary/_unary.
#include <xnnpack.h>

#include <cstdint>

namespace rosto::detector {

bool definirSoma(xnn_subgraph_t sub, float minimo, float maximo, uint32_t a, uint32_t b, uint32_t saida);
bool definirLimites(xnn_subgraph_t sub, float minimo, float maximo, uint32_t entrada, uint32_t saida);
// `inclinacoes`: a [channels] tensor.
bool definirPrelu(xnn_subgraph_t sub, uint32_t entrada, uint32_t inclinacoes, uint32_t saida);

}  // namespace rosto::detector
