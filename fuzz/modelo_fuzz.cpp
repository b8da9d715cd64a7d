// Any bytes as a face model file, through the path rosto takes at start:
// read and check the graph as either model, build its XNNPACK runtime, and
// run it on a small frame.
#include <cstdint>
#include <vector>

#include "rosto/linux/detector/grafo.h"
#include "rosto/linux/detector/modelo_de_rostos.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  using namespace rosto::detector;
  static const std::vector<uint8_t> pixels(3 * 37 * 21, 128);
  const rosto::Imagem imagem{37, 21, 3 * 37, pixels.data()};
  for (const DescricaoDoModelo* d : {&alcanceTotal(), &alcanceCurto()}) {
    // Aligned as a file is read into.
    struct alignas(16) Bloco {
      uint8_t b[16];
    };
    std::vector<Bloco> alinhados((tamanho + 15) / 16);
    if (tamanho) std::copy(dados, dados + tamanho, reinterpret_cast<uint8_t*>(alinhados.data()));
    auto modelo = modeloDosBytes(reinterpret_cast<const uint8_t*>(alinhados.data()), tamanho, *d);
    if (!modelo.ok()) continue;
    auto rede = ModeloDeRostos::criar(modelo.valor(), *d);
    if (!rede.ok()) continue;
    std::vector<rosto::Rosto> rostos;
    rede.valor()->detectar(imagem, {0, 0, 37, 21}, 0.5f, rostos);
  }
  return 0;
}
