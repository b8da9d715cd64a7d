#include "rosto/extracao_adiantada.h"

#include <algorithm>

namespace rosto {

ExtracaoAdiantada::~ExtracaoAdiantada() {
  if (emCurso_.valid()) emCurso_.wait();  // the thread still uses the generator
}

void ExtracaoAdiantada::pedir(Tempo quando) {
  std::vector<uint8_t>& destino = copias_[proxima_];
  proxima_ = 1 - proxima_;
  emCurso_ = std::async(std::launch::async, [this, quando, &destino] { return extrair(quando, destino); });
}

Resultado<Imagem> ExtracaoAdiantada::receber() { return emCurso_.get(); }

Resultado<Imagem> ExtracaoAdiantada::extrair(Tempo quando, std::vector<uint8_t>& destino) {
  Resultado<Imagem> extraida = gerador_.imagemEm(quando);
  if (!extraida.ok() || !extraida.valor().rgb) return extraida;
  const Imagem& v = extraida.valor();
  const size_t linha = static_cast<size_t>(v.largura) * 3;
  destino.resize(linha * v.altura);
  for (int y = 0; y < v.altura; ++y)
    std::copy_n(v.rgb + static_cast<size_t>(y) * v.bytesPorLinha, linha, destino.data() + y * linha);
  return Imagem{v.largura, v.altura, static_cast<int>(linha), destino.data()};
}

}  // namespace rosto
