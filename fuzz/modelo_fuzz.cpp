// Any bytes as a face model file, through the path rosto takes at start:
// read and check the graph as either model, build its XNNPACK runtime, and
// run it on a small frame.
#include <cstdint>
#include <vector>

#include "rosto/linux/detector/grafo.h"
#include "rosto/linux/detector/modelo_de_rostos.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  using namespace rosto::detector;
  rosto::Resultado<Grafo> lido = lerGrafoDeCopia(dados, tamanho);
  if (!lido.ok()) return 0;
  static const std::vector<uint8_t> pixels(3 * 37 * 21, 128);
  const rosto::Imagem imagem{37, 21, 3 * 37, pixels.data()};
  for (const DescricaoDoModelo* d : {&alcanceTotal(), &alcanceCurto()}) {
    auto modelo = conferirModelo(lido.valor(), *d);
    if (!modelo.ok()) continue;
    auto rede = ModeloDeRostos::criar(modelo.valor(), *d);
    if (!rede.ok()) continue;
    std::vector<rosto::Rosto> rostos;
    rede.valor()->detectar(imagem, {0, 0, 37, 21}, 0.5f, rostos);
  }
  return 0;
}
