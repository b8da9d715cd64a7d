#include "escuta/linux/pulseaudio/monitor_de_fluxo.h"

#include <cstring>
#include <string>

namespace escuta {

std::unique_ptr<MonitorDeFluxo> MonitorDeFluxo::abrir(ConexaoPulse& conexao, bool propria, uint32_t entrada,
                                                      const pa_sample_spec& especificacao,
                                                      const pa_channel_map& mapa, pa_usec_t fragmento,
                                                      Eventos eventos) {
  std::unique_ptr<MonitorDeFluxo> m(new MonitorDeFluxo(entrada, especificacao, mapa, fragmento, std::move(eventos)));
  if (!propria) {
    m->contexto_ = conexao.contexto();
    m->capturar();
    return m->fluxo_ ? std::move(m) : nullptr;
  }
  m->proprio_ = true;
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "escuta");
  m->contexto_ = pa_context_new_with_proplist(conexao.api(), "escuta", props);
  pa_proplist_free(props);
  if (!m->contexto_) return nullptr;
  pa_context_set_state_callback(m->contexto_, &MonitorDeFluxo::aoMudarConexao, m.get());
  // The very server the first connection reached, never one spawned.
  if (pa_context_connect(m->contexto_, conexao.servidor().c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return nullptr;
  return m;
}

MonitorDeFluxo::MonitorDeFluxo(uint32_t entrada, const pa_sample_spec& especificacao, const pa_channel_map& mapa,
                               pa_usec_t fragmento, Eventos eventos)
    : entrada_(entrada), especificacao_(especificacao), mapa_(mapa), fragmento_(fragmento), eventos_(std::move(eventos)) {}

MonitorDeFluxo::~MonitorDeFluxo() {
  if (fluxo_) {
    pa_stream_set_read_callback(fluxo_, nullptr, nullptr);
    pa_stream_set_state_callback(fluxo_, nullptr, nullptr);
    pa_stream_set_moved_callback(fluxo_, nullptr, nullptr);
    pa_stream_disconnect(fluxo_);
    pa_stream_unref(fluxo_);
  }
  if (contexto_ && proprio_) {
    pa_context_set_state_callback(contexto_, nullptr, nullptr);
    pa_context_disconnect(contexto_);
    pa_context_unref(contexto_);
  }
}

uint32_t MonitorDeFluxo::saidaDeFonte() const {
  return fluxo_ && pa_stream_get_state(fluxo_) == PA_STREAM_READY ? pa_stream_get_index(fluxo_) : PA_INVALID_INDEX;
}

// Every event below may be the last thing this object does: its owner may destroy it there.
void MonitorDeFluxo::acabar() {
  if (eventos_.aoAcabar) eventos_.aoAcabar();
}

void MonitorDeFluxo::aoMudarConexao(pa_context* contexto, void* dados) {
  auto* m = static_cast<MonitorDeFluxo*>(dados);
  switch (pa_context_get_state(contexto)) {
    case PA_CONTEXT_READY:
      return m->capturar();
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      return m->acabar();
    default:
      return;
  }
}

void MonitorDeFluxo::capturar() {
  // On PipeWire, a capture whose stream has gone is moved by the session
  // manager to the default source, the microphone: WirePlumber 0.5 leaves it
  // where it is with this key (pipewire-pulse copies it to the capture's
  // node); PA_STREAM_DONT_MOVE below has WirePlumber 0.4 end it instead.
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, "node.dont-fallback", "true");
  const std::string nome = "escuta " + std::to_string(entrada_);
  fluxo_ = pa_stream_new_with_proplist(contexto_, nome.c_str(), &especificacao_, &mapa_, props);
  pa_proplist_free(props);
  if (!fluxo_) return proprio_ ? acabar() : void();
  pa_stream_set_read_callback(fluxo_, &MonitorDeFluxo::aoLer, this);
  pa_stream_set_state_callback(fluxo_, &MonitorDeFluxo::aoMudarEstado, this);
  pa_stream_set_moved_callback(fluxo_, &MonitorDeFluxo::aoMover, this);
  pa_buffer_attr atributos;
  std::memset(&atributos, 0xff, sizeof atributos);  // the server's defaults, but for the fragment
  atributos.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(fragmento_, &especificacao_));
  // This stream's sink monitor, tapped before the sink's volume; the server
  // ends the capture when the stream moves or goes, rather than follow it.
  // Not PA_STREAM_DONT_INHIBIT_AUTO_SUSPEND: pipewire-pulse then schedules
  // the capture only when something else drives it, and it comes in bursts
  // a second apart (a paused stream's capture is closed anyway).
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
  if (pa_stream_set_monitor_stream(fluxo_, entrada_) >= 0 &&
      pa_stream_connect_record(fluxo_, nullptr, &atributos, flags) >= 0)
    return;
  if (proprio_) return acabar();
  // On the shared connection this runs inside abrir(): no capture, said by returning none.
  pa_stream_set_read_callback(fluxo_, nullptr, nullptr);
  pa_stream_set_state_callback(fluxo_, nullptr, nullptr);
  pa_stream_set_moved_callback(fluxo_, nullptr, nullptr);
  pa_stream_unref(fluxo_);
  fluxo_ = nullptr;
}

void MonitorDeFluxo::aoLer(pa_stream* fluxo, size_t, void* dados) {
  auto* m = static_cast<MonitorDeFluxo*>(dados);
  const void* bytes = nullptr;
  size_t tamanho = 0;
  // Peeked data stays valid until it is dropped; the owner may not destroy
  // the monitor while it reads (aoReceber is not the last event it gets).
  bool recebeu = false;
  while (pa_stream_readable_size(fluxo) > 0 && pa_stream_peek(fluxo, &bytes, &tamanho) == 0 && tamanho > 0) {
    m->eventos_.aoReceber(bytes, tamanho);
    pa_stream_drop(fluxo);
    recebeu = true;
  }
  if (recebeu && m->eventos_.aoEntregar) m->eventos_.aoEntregar();
}

void MonitorDeFluxo::aoMudarEstado(pa_stream* fluxo, void* dados) {
  auto* m = static_cast<MonitorDeFluxo*>(dados);
  const pa_stream_state_t estado = pa_stream_get_state(fluxo);
  if (estado == PA_STREAM_READY && m->eventos_.aoFicarPronto) return m->eventos_.aoFicarPronto();
  if (estado == PA_STREAM_FAILED || estado == PA_STREAM_TERMINATED) m->acabar();
}

// A per-stream capture never moves on its own: the session manager has
// taken it off its stream, to another source.
void MonitorDeFluxo::aoMover(pa_stream*, void* dados) { static_cast<MonitorDeFluxo*>(dados)->acabar(); }

}  // namespace escuta
