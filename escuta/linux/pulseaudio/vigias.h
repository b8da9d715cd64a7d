#pragma once
// One paused capture on every sink's monitor, asking for a short latency.
// A sink renders ahead of playback by its latency, and a stream's per-stream
// capture only hears what is rendered after it opens: on a sink left at a
// long latency (2 s with paplay alone) a stream that starts or is moved there
// would be heard only seconds later. A paused capture receives nothing and
// lets the sink suspend when idle, but its latency still counts.
#include <pulse/pulseaudio.h>

#include <map>

#include "escuta/linux/pulseaudio/conexao_pulse.h"

namespace escuta {

class Vigias {
 public:
  // `latencia` in microseconds; `especificacao` any the server can convert.
  Vigias(ConexaoPulse& conexao, pa_usec_t latencia, const pa_sample_spec& especificacao);
  ~Vigias();
  Vigias(const Vigias&) = delete;
  Vigias& operator=(const Vigias&) = delete;

  // With the lock held. A sink's watch goes by itself when the sink goes.
  void vigiar(uint32_t sink, const char* monitor);
  void esquecer(uint32_t sink);

 private:
  static void aoMudarEstado(pa_stream* fluxo, void* dados);

  ConexaoPulse& conexao_;
  const pa_usec_t latencia_;
  const pa_sample_spec especificacao_;
  std::map<uint32_t, pa_stream*> vigias_;
};

}  // namespace escuta
