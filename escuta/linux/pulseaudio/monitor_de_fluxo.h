#pragma once
// One program's stream read through a per-stream monitor capture, on the
// given connection or on one of its own to the same server: pipewire-pulse
// sends a record stream's data only while the client's other messages are
// all sent, so captures that share a connection there starve one another
// and come in bursts.
#include <pulse/pulseaudio.h>

#include <functional>
#include <memory>

#include "escuta/linux/pulseaudio/conexao_pulse.h"

namespace escuta {

class MonitorDeFluxo {
 public:
  // Told on the loop's thread, with its lock held. The owner may destroy the
  // monitor from any of them; none comes after it is destroyed.
  struct Eventos {
    std::function<void(const void* dados, size_t bytes)> aoReceber;  // null `dados`: a hole of `bytes`
    std::function<void()> aoEntregar;     // all that came at once was received
    std::function<void()> aoFicarPronto;  // capturing; saidaDeFonte() is known
    std::function<void()> aoAcabar;       // refused, ended by the server, moved off its stream, or disconnected
  };

  // With the lock held: captures sink input `entrada` in `especificacao`,
  // delivering every `fragmento` µs, over `conexao` or, with `propria`, a
  // connection of its own to the same server on the same loop. Nothing when
  // the capture cannot even be tried.
  static std::unique_ptr<MonitorDeFluxo> abrir(ConexaoPulse& conexao, bool propria, uint32_t entrada,
                                               const pa_sample_spec& especificacao, const pa_channel_map& mapa,
                                               pa_usec_t fragmento, Eventos eventos);
  ~MonitorDeFluxo();  // with the lock held
  MonitorDeFluxo(const MonitorDeFluxo&) = delete;
  MonitorDeFluxo& operator=(const MonitorDeFluxo&) = delete;

  // The capture's index among the server's source outputs; PA_INVALID_INDEX until ready.
  uint32_t saidaDeFonte() const;

 private:
  MonitorDeFluxo(uint32_t entrada, const pa_sample_spec& especificacao, const pa_channel_map& mapa,
                 pa_usec_t fragmento, Eventos eventos);
  void capturar();
  void acabar();

  static void aoMudarConexao(pa_context* contexto, void* dados);
  static void aoLer(pa_stream* fluxo, size_t, void* dados);
  static void aoMudarEstado(pa_stream* fluxo, void* dados);
  static void aoMover(pa_stream* fluxo, void* dados);

  const uint32_t entrada_;
  const pa_sample_spec especificacao_;
  const pa_channel_map mapa_;
  const pa_usec_t fragmento_;
  Eventos eventos_;
  pa_context* contexto_ = nullptr;
  bool proprio_ = false;  // the context is this monitor's own
  pa_stream* fluxo_ = nullptr;
};

}  // namespace escuta
