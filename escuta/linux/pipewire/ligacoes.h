#pragma once
// Which application ports feed the capture when some applications are left out.
#include <compare>
#include <string>
#include <vector>

#include "escuta/linux/pipewire/grafo.h"

namespace escuta {

struct Ligacao {
  uint32_t noSaida, portaSaida, noEntrada, portaEntrada;
  auto operator<=>(const Ligacao&) const = default;
};

// Links from every application playback stream, whatever device it plays
// to, into the input ports of node `captura`, except the streams of the
// identities in `excluidos` and of the processes in `pidsExcluidos`. Each
// channel goes to the port of its own position; a mono channel to the front
// pair, as a player does on stereo speakers; a channel with no named position
// (AUX, UNK) by its index. A stream is linked only once its own and its
// client's full properties are known: until then its identity is not. Sorted.
std::vector<Ligacao> ligacoesDesejadas(const Grafo& grafo, uint32_t captura, const std::vector<std::string>& excluidos,
                                       const std::vector<int32_t>& pidsExcluidos = {});

}  // namespace escuta
