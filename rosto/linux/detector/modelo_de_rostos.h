#pragma once
// One of MediaPipe's face models, loaded from its .tflite file and decoded
// as MediaPipe's own graphs for it do.
#include <memory>
#include <string>
#include <vector>

#include "rosto/linux/detector/decodificacao.h"
#include "rosto/linux/detector/grafo.h"
#include "rosto/linux/detector/rede_xnnpack.h"
#include "rosto/plataforma.h"

namespace rosto::detector {

// A model's file and its options in MediaPipe's face_detection_*.pbtxt.
struct DescricaoDoModelo {
  const char* arquivo;
  OpcoesDasAncoras ancoras;
};

// face_detection_full_range: 192×192, one 48×48 grid (stride 4), for faces far away.
const DescricaoDoModelo& alcanceTotal();
// face_detection_short_range: 128×128, 16×16 and 8×8 grids, for faces near the camera.
const DescricaoDoModelo& alcanceCurto();

// A model file's network, checked to be the described model's: one input
// [1, lado, lado, 3], outputs [1, anchors, 16] and [1, anchors, 1]. Shared,
// read-only, by every worker's runtime.
Resultado<std::shared_ptr<const Grafo>> carregarModelo(const std::string& caminho, const DescricaoDoModelo& descricao);

// The same check on a network already read from a file's bytes.
Resultado<std::shared_ptr<const Grafo>> conferirModelo(Grafo grafo, const DescricaoDoModelo& descricao);

// The model as one worker runs it. Not to be shared between threads.
class ModeloDeRostos {
 public:
  static Resultado<std::unique_ptr<ModeloDeRostos>> criar(std::shared_ptr<const Grafo> grafo,
                                                          const DescricaoDoModelo& descricao);

  // The faces in `recorte` of the image scoring at least `limiar`, merged by
  // weighted suppression, in the whole image's normalized coordinates.
  // False when the network failed to run.
  bool detectar(const Imagem& imagem, const Recorte& recorte, float limiar, std::vector<Rosto>& rostos);

 private:
  ModeloDeRostos(std::unique_ptr<RedeXnnpack> rede, const DescricaoDoModelo& descricao);

  std::unique_ptr<RedeXnnpack> rede_;
  int lado_;
  std::vector<Ancora> ancoras_;
  size_t saidaDasCaixas_ = 0, saidaDasPontuacoes_ = 1;
  std::vector<float> rascunho_;
  std::vector<Candidato> candidatos_;
};

}  // namespace rosto::detector
