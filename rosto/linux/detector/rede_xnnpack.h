#pragma once
// A network read from a model file, built into one XNNPACK subgraph and run
// on the calling thread (no thread pool): the same input gives the same
// bytes out on every run. Not to be shared between threads; each detector
// worker has its own. Concatenations that only gather the model's outputs
// (the last step of MediaPipe's face models) are copies done here after the
// subgraph: Debian 12's XNNPACK has no concatenation node.
#include <xnnpack.h>

#include <memory>
#include <vector>

#include "rosto/linux/detector/grafo.h"
#include "rosto/resultado.h"

namespace rosto::detector {

class RedeXnnpack {
 public:
  // The runtime for `grafo`, whose constants it keeps alive (XNNPACK reads
  // static values for the runtime's whole life); or why XNNPACK refused it.
  static Resultado<std::unique_ptr<RedeXnnpack>> criar(std::shared_ptr<const Grafo> grafo);

  // The first input, NHWC floats; written by the caller before `executar`.
  float* entrada() { return buffers_.front().data(); }
  // Output k of the model, in its order, valid until the next `executar`.
  const float* saida(size_t k) const { return buffers_[1 + k].data(); }
  const Grafo& grafo() const { return *grafo_; }

  // One forward pass; false when XNNPACK reports a failure.
  bool executar();

 private:
  struct Apagar {
    void operator()(xnn_runtime_t r) const { xnn_delete_runtime(r); }
  };
  explicit RedeXnnpack(std::shared_ptr<const Grafo> grafo) : grafo_(std::move(grafo)) {}

  std::shared_ptr<const Grafo> grafo_;
  std::unique_ptr<xnn_runtime, Apagar> runtime_;
  // The external values, input first, then the model's outputs, then what
  // the final concatenations gather: each with XNNPACK's slack after its end.
  std::vector<std::vector<float>> buffers_;
  struct Juncao {
    size_t saida;                 // index in buffers_
    std::vector<size_t> partes;   // indices in buffers_, in order
    size_t blocos;                // how many times the parts alternate
    std::vector<size_t> tamanhos; // floats of each part per block
  };
  std::vector<Juncao> juncoes_;
};

}  // namespace rosto::detector
