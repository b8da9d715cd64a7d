#pragma once
// The system's sound as a PipeWire capture stream.
#include <memory>

#include "escuta/plataforma.h"

namespace escuta {

// Without exclusions the stream links the default sink's monitor to itself.
// With them, it links every other application's playback ports instead. It
// follows the graph as streams and sinks come and go. Samples are copied out of
// PipeWire's loop and handed to the output on its serial queue, so a slow
// reader never holds up the graph.
std::unique_ptr<Fluxo> criarFluxoPipeWire(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                          DelegadoDoFluxo& delegado);

}  // namespace escuta
