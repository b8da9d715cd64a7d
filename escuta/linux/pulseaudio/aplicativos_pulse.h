#pragma once
// Which of a PulseAudio server's clients are programs, how each describes
// itself, and which playback streams are programs'. Plain data, so that the
// rules are testable without a server.
#include <cstdint>
#include <string>
#include <vector>

#include "escuta/linux/aplicativos/fontes.h"
#include "escuta/linux/propriedades.h"

namespace escuta {

struct ClientePulse {
  uint32_t indice = 0;
  std::string driver;  // "protocol-native.c" for programs; a module's file for the server's own
  Propriedades props;
};

// A playback stream (a sink input).
struct EntradaPulse {
  uint32_t indice = 0;
  uint32_t cliente = UINT32_MAX;  // none: a module's stream (loopback, combine)
  uint32_t dispositivo = 0;       // its sink
  bool pausada = false;           // corked
  Propriedades props;
};

// One per program connection, in the order they connected: never the
// server's own clients, nor one still connecting (it has not said who it
// is), nor this process (`meuPid`). A stream's own application.id and name,
// where its client has no application.id, speak for the client.
std::vector<ClienteDeSom> clientesDoPulse(const std::vector<ClientePulse>& clientes,
                                          const std::vector<EntradaPulse>& entradas, int32_t meuPid);

// How one client describes itself.
ClienteDeSom clienteDeSom(const ClientePulse& cliente);

// The program playing `entrada`, as its client (and the stream, as above) describe it.
ClienteDeSom clienteDaEntrada(const EntradaPulse& entrada, const std::vector<ClientePulse>& clientes);

// A program's stream, not a module's (a loopback's: its source is heard already).
bool ehDePrograma(const EntradaPulse& entrada);

}  // namespace escuta
