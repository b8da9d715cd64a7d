#pragma once
// Which application ports feed the capture when some applications are left out.
#include <compare>
#include <string>
#include <vector>

#include "escuta/linux/grafo.h"

namespace escuta {

struct Ligacao {
  uint32_t noSaida, portaSaida, noEntrada, portaEntrada;
  auto operator<=>(const Ligacao&) const = default;
};

// Links from every application playback stream whose identity is not in
// `excluidos` into the input ports of node `captura`, channel by channel:
// same channel name; a mono side fans out to (or gathers from) every port
// of the other; otherwise by port index. A stream is linked only once its
// own and its client's full properties are known: until then its identity
// is not. Sorted.
std::vector<Ligacao> ligacoesDesejadas(const Grafo& grafo, uint32_t captura, const std::vector<std::string>& excluidos);

// Links from the default sink's monitor ports (the first sink when no
// default is known) into node `captura`, channel by channel as above.
std::vector<Ligacao> ligacoesDoMonitor(const Grafo& grafo, uint32_t captura);

}  // namespace escuta
