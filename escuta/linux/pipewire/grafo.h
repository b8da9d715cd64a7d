#pragma once
// What escuta knows of the sound graph: clients, nodes and ports with their
// properties. Plain data, so the rules built on it are testable without a
// sound server.
#include <cstdint>
#include <string>
#include <vector>

#include "escuta/linux/propriedades.h"

namespace escuta {

struct ClienteDoGrafo {
  uint32_t id = 0;
  Propriedades props;
  bool completo = false;  // its full info has arrived, not only the registry's few keys
};

struct NoDoGrafo {
  uint32_t id = 0;
  Propriedades props;  // client.id, media.class, application.*, node.link-group…
  bool completo = false;
};

struct PortaDoGrafo {
  uint32_t id = 0;
  uint32_t no = 0;
  bool saida = false;
  bool monitor = false;
  std::string canal;  // audio.channel: FL, FR, MONO…
  uint32_t indice = 0;
};

// In registry order.
struct Grafo {
  std::vector<ClienteDoGrafo> clientes;
  std::vector<NoDoGrafo> nos;
  std::vector<PortaDoGrafo> portas;

  const ClienteDoGrafo* cliente(uint32_t id) const;
  const NoDoGrafo* no(uint32_t id) const;
};

}  // namespace escuta
