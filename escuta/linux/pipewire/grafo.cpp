#include "escuta/linux/pipewire/grafo.h"

namespace escuta {

const ClienteDoGrafo* Grafo::cliente(uint32_t id) const {
  for (const ClienteDoGrafo& c : clientes)
    if (c.id == id) return &c;
  return nullptr;
}

const NoDoGrafo* Grafo::no(uint32_t id) const {
  for (const NoDoGrafo& n : nos)
    if (n.id == id) return &n;
  return nullptr;
}

}  // namespace escuta
