#pragma once
// The system's sound as a PipeWire capture stream.
#include <memory>

#include "escuta/plataforma.h"

namespace escuta {

// Without exclusions the stream captures the default sink's monitor. With
// them, it links every other application's playback ports to itself and
// follows the graph as streams come and go. Samples are copied out of
// PipeWire's loop and handed to the output on its serial queue, so a slow
// reader never holds up the graph.
std::unique_ptr<Fluxo> criarFluxoPipeWire(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                          DelegadoDoFluxo& delegado);

}  // namespace escuta
