#include "escuta/linux/pulseaudio/vigias.h"

#include <cstring>

namespace escuta {

namespace {

void soltar(pa_stream* fluxo) {
  pa_stream_set_state_callback(fluxo, nullptr, nullptr);
  pa_stream_disconnect(fluxo);
  pa_stream_unref(fluxo);
}

}  // namespace

Vigias::Vigias(ConexaoPulse& conexao, pa_usec_t latencia, const pa_sample_spec& especificacao)
    : conexao_(conexao), latencia_(latencia), especificacao_(especificacao) {}

Vigias::~Vigias() {
  for (auto& [_, fluxo] : vigias_) soltar(fluxo);
}

void Vigias::vigiar(uint32_t sink, const char* monitor) {
  if (!monitor || vigias_.count(sink)) return;
  pa_stream* fluxo = pa_stream_new(conexao_.contexto(), "escuta (vigia)", &especificacao_, nullptr);
  if (!fluxo) return;
  pa_buffer_attr atributos;
  std::memset(&atributos, 0xff, sizeof atributos);
  atributos.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(latencia_, &especificacao_));
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_DONT_INHIBIT_AUTO_SUSPEND | PA_STREAM_DONT_MOVE);
  pa_stream_set_state_callback(fluxo, &Vigias::aoMudarEstado, this);
  if (pa_stream_connect_record(fluxo, monitor, &atributos, flags) < 0) return soltar(fluxo);
  vigias_[sink] = fluxo;
}

void Vigias::esquecer(uint32_t sink) {
  const auto it = vigias_.find(sink);
  if (it == vigias_.end()) return;
  soltar(it->second);
  vigias_.erase(it);
}

// Its sink went (or refused it): forget it.
void Vigias::aoMudarEstado(pa_stream* fluxo, void* dados) {
  const pa_stream_state_t estado = pa_stream_get_state(fluxo);
  if (estado != PA_STREAM_FAILED && estado != PA_STREAM_TERMINATED) return;
  auto* v = static_cast<Vigias*>(dados);
  for (auto it = v->vigias_.begin(); it != v->vigias_.end(); ++it)
    if (it->second == fluxo) {
      soltar(fluxo);
      v->vigias_.erase(it);
      return;
    }
}

}  // namespace escuta
