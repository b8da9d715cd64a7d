#pragma once
// The system's sound from a PulseAudio server: every program's playback
// stream on every sink, each read through its own per-stream monitor
// capture, so that a program kept on another device is heard, what a program
// plays is taken before the device's volume and mute, and an excluded
// application's streams are never read (each stream is judged off the
// loop, and read once judged). Streams are followed as they come,
// move between sinks, pause and go; the streams are summed (Mistura) into one
// output paced by the clock, silence included.
#include <memory>

#include "escuta/linux/aplicativos/exclusao.h"
#include "escuta/linux/pulseaudio/conexao_pulse.h"
#include "escuta/plataforma.h"

namespace escuta {

// `sobrePipeWire`: the server is PipeWire's pipewire-pulse, whose per-stream
// captures report no source of their own.
std::unique_ptr<Fluxo> criarFluxoPulse(std::shared_ptr<ConexaoPulse> conexao, bool sobrePipeWire,
                                       std::shared_ptr<const Exclusao> exclusao,
                                       const ConfiguracaoDoFluxo& configuracao, DelegadoDoFluxo& delegado);

}  // namespace escuta
