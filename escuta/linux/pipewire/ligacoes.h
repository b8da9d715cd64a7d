#pragma once
// Which application ports feed the capture when some applications are left out.
#include <compare>
#include <functional>
#include <vector>

#include "escuta/linux/pipewire/grafo.h"

namespace escuta {

struct Ligacao {
  uint32_t noSaida, portaSaida, noEntrada, portaEntrada;
  auto operator<=>(const Ligacao&) const = default;
};

// Links from every application playback stream, whatever device it plays
// to, into the input ports of node `captura`, for the streams `ouvir`
// accepts. Each channel goes to the port of its own position; a mono channel
// to the front pair, as a player does on stereo speakers; a channel with no
// named position (AUX, UNK) by its index. `ouvir` is asked only once a
// stream's own and its client's full properties are known: until then who
// plays it is not. Sorted.
std::vector<Ligacao> ligacoesDesejadas(const Grafo& grafo, uint32_t captura,
                                       const std::function<bool(const NoDoGrafo&)>& ouvir);

}  // namespace escuta
