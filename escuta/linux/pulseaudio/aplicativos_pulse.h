#pragma once
// Which of a PulseAudio server's clients are applications, what identifies
// each one, and which playback streams escuta hears. Plain data, so that the
// rules are testable without a server.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "escuta/linux/propriedades.h"
#include "escuta/plataforma.h"

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

// Whether process `pid` runs the binary named; /proc's answer in the program.
using ConfereProcesso = std::function<bool(int32_t pid, const std::string& binario)>;

// One entry per program connected to the server, in the order it connected:
// never the server's own clients, nor one still connecting (it has not said
// who it is), nor this process (`meuPid`). A pid is given only where the
// process it names runs the binary the client reported; otherwise 0.
std::vector<Aplicativo> aplicativosDoPulse(const std::vector<ClientePulse>& clientes,
                                           const std::vector<EntradaPulse>& entradas, int32_t meuPid,
                                           const ConfereProcesso& confere);

// The identity and trusted pid of the program playing `entrada`, as the listing gives them.
Aplicativo donoDaEntrada(const EntradaPulse& entrada, const std::vector<ClientePulse>& clientes,
                         const ConfereProcesso& confere);

// A program's stream (not a module's) whose owner is not among `excluidos`
// (by id, or by a trusted pid).
bool deveSerOuvida(const EntradaPulse& entrada, const std::vector<ClientePulse>& clientes,
                   const std::vector<Aplicativo>& excluidos, const ConfereProcesso& confere);

}  // namespace escuta
