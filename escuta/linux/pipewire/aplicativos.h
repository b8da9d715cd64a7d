#pragma once
// Which clients of the sound graph are programs, how each describes itself,
// and which playback streams are programs'.
#include <vector>

#include "escuta/linux/aplicativos/fontes.h"
#include "escuta/linux/pipewire/grafo.h"

namespace escuta {

// One per program connection (a PulseAudio program often opens two), in the
// order they appeared, leaving out the sound server's own processes, the
// one with pid `meuPid` (this very listing) and clients still connecting
// (their full properties not yet known). A stream's own application.id and
// name, where its client has no application.id, speak for the client
// (pw-play -P, say).
std::vector<ClienteDeSom> clientesDe(const Grafo& grafo, int32_t meuPid);

// The program playing node `no`, as its client (and the node, as above) describe it.
ClienteDeSom clienteDoNo(const Grafo& grafo, const NoDoGrafo& no);

// Audio playback streams of applications: not filters or loopbacks.
bool ehReproducaoDeAplicativo(const NoDoGrafo& no);

}  // namespace escuta
