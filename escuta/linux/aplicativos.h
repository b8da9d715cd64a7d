#pragma once
// Which clients of the sound graph are applications, what identifies each
// one, and which playback streams belong to an identity.
#include <vector>

#include "escuta/linux/grafo.h"
#include "escuta/plataforma.h"

namespace escuta {

// application.id, else the Flatpak app id PipeWire sets itself, else the
// process binary, else empty. A stream's own application.id/name, when its
// client has no application.id, speak for the client (pw-play -P, say).
std::string identidadeDoNo(const Grafo& grafo, const NoDoGrafo& no);

// Every client except the session manager's own and the one with pid `meuPid`
// (this very listing), in registry order.
std::vector<Aplicativo> aplicativosDe(const Grafo& grafo, int32_t meuPid);

// Audio playback streams of applications: not filters or loopbacks.
bool ehReproducaoDeAplicativo(const NoDoGrafo& no);

}  // namespace escuta
