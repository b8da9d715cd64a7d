#include "escuta/saida_de_audio.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace escuta {

static_assert(std::endian::native == std::endian::little, "the PCM is written in native byte order");

std::vector<float> intercalar(const std::vector<BufferDeAudio>& buffers) {
  const size_t k = buffers.size();
  const size_t f = buffers.empty() ? 0 : buffers.front().bytes / 4;
  std::vector<float> saida(f * k, 0.0f);
  if (k == 1) {  // already interleaved: the common case, one copy
    if (f > 0) std::memcpy(saida.data(), buffers[0].dados, f * 4);  // an empty vector's data() may be null
    return saida;
  }
  for (size_t c = 0; c < k; ++c) {
    const auto* dados = static_cast<const unsigned char*>(buffers[c].dados);
    const size_t n = std::min<size_t>(f, buffers[c].bytes / 4);
    // memcpy: the platform promises no float alignment.
    for (size_t i = 0; i < n; ++i) std::memcpy(&saida[i * k + c], dados + 4 * i, 4);
  }
  return saida;
}

void SaidaDeAudio::fluxoEntregou(const AmostraDeAudio& amostra, TipoDeSaida tipo) {
  if (tipo != TipoDeSaida::audio || !amostra.dadosProntos()) return;
  const std::optional<std::vector<BufferDeAudio>> buffers = amostra.listaDeBuffers();
  if (!buffers || buffers->empty()) return;
  for (const BufferDeAudio& b : *buffers)
    if (!b.dados) return;
  const std::vector<float> bloco = intercalar(*buffers);
  const Escrita e = saida_.escreverSaida({reinterpret_cast<const char*>(bloco.data()), bloco.size() * 4});
  if (e.resultado == Escrita::leitorSaiu) saida_.encerrarPorPipeQuebrado();
  if (e.resultado == Escrita::falhou) sair(saida_, "não consegui escrever o áudio no stdout: " + e.descricao);
}

void SaidaDeAudio::fluxoParou(const Erro& erro) { sair(saida_, "captura interrompida: " + erro.descricao); }

}  // namespace escuta
