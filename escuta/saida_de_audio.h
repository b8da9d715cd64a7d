#pragma once
// Turns delivered audio samples into interleaved float32 PCM on standard
// output, and ends the process when the stream stops.
#include <string>
#include <vector>

#include "escuta/plataforma.h"
#include "escuta/processo.h"

namespace escuta {

// Frame by frame, channel c of frame i at i·K + c, K being the number of
// buffers and F the float count of the first one. A later buffer shorter
// than F is read only up to its end; its missing samples are 0. Empty when
// the sample is to be skipped; F = 0 gives an empty block.
std::vector<float> intercalar(const std::vector<BufferDeAudio>& buffers);

class SaidaDeAudio : public SaidaDoFluxo, public DelegadoDoFluxo {
 public:
  explicit SaidaDeAudio(Processo& saida) : saida_(saida) {}

  // One write per audio sample; other types, samples not ready, without a
  // buffer list, without buffers or with a null buffer are skipped. A reader
  // that has gone ends the process; any other failed write ends it with a
  // line and status 1, so the stream never goes on with a hole in it.
  void fluxoEntregou(const AmostraDeAudio& amostra, TipoDeSaida tipo) override;
  // "captura interrompida: " and the description, then status 1.
  void fluxoParou(const Erro& erro) override;

 private:
  Processo& saida_;
};

}  // namespace escuta
