#pragma once
// Which clients of the sound graph are applications, what identifies each
// one, and which playback streams belong to an identity.
#include <vector>

#include "escuta/linux/pipewire/grafo.h"
#include "escuta/plataforma.h"

namespace escuta {

// application.id, else the Flatpak app id PipeWire sets itself, else the
// process binary, else empty. A stream's own application.id/name, when its
// client has no application.id, speak for the client (pw-play -P, say).
std::string identidadeDoNo(const Grafo& grafo, const NoDoGrafo& no);

// One entry per running process, in the order its first connection appeared
// (a PulseAudio program often opens two), leaving out the sound server's own
// processes, the one with pid `meuPid` (this very listing) and clients still
// connecting (their full properties not yet known). The name is
// the first the program gave itself; connections without a pid stand alone.
std::vector<Aplicativo> aplicativosDe(const Grafo& grafo, int32_t meuPid);

// The process a client belongs to, as it reported itself; 0 when unknown.
int32_t pidDe(const ClienteDoGrafo& cliente);

// Audio playback streams of applications: not filters or loopbacks.
bool ehReproducaoDeAplicativo(const NoDoGrafo& no);

}  // namespace escuta
