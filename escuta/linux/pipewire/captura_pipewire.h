#pragma once
// The system's sound as a PipeWire capture stream.
#include <memory>

#include "escuta/linux/aplicativos/exclusao.h"
#include "escuta/plataforma.h"

namespace escuta {

// The stream links every application's playback ports to itself, but those
// `exclusao` leaves out, each once judged (off PipeWire's loop), and follows
// the graph as streams come and go. Samples are copied out of PipeWire's loop
// and handed to the output on its serial queue, so a slow reader never holds
// up the graph.
std::unique_ptr<Fluxo> criarFluxoPipeWire(std::shared_ptr<const Exclusao> exclusao,
                                          const ConfiguracaoDoFluxo& configuracao, DelegadoDoFluxo& delegado);

}  // namespace escuta
