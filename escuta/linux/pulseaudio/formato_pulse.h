#pragma once
// The capture's format in PulseAudio's terms: the server converts every
// stream to it, resampling and folding channels (5.1 into stereo, say).
#include <pulse/pulseaudio.h>

#include "escuta/plataforma.h"

namespace escuta {

// Float32 at the requested rate and channel count.
pa_sample_spec especificacaoPedida(const ConfiguracaoDoFluxo& configuracao);
// The same speaker positions the PipeWire capture asks for.
pa_channel_map mapaPedido(const ConfiguracaoDoFluxo& configuracao);

}  // namespace escuta
