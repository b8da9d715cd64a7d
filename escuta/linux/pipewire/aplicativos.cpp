#include "escuta/linux/pipewire/aplicativos.h"

#include <unistd.h>

#include "escuta/linux/clientes_do_servidor.h"
#include "escuta/linux/processos.h"

namespace escuta {

namespace {

ClienteDeSom comoCliente(const Propriedades& p) {
  return {static_cast<int32_t>(numeroDe(p, "application.process.id").value_or(0)), valorDe(p, "application.id"),
          valorDe(p, "pipewire.access.portal.app_id"), valorDe(p, "application.process.binary"),
          valorDe(p, "application.name")};
}

// The client's own id wins; a stream's speaks for a client without one.
void completarPeloNo(ClienteDeSom& c, const Propriedades& doNo) {
  if (!c.id.empty() || valorDe(doNo, "application.id").empty()) return;
  c.id = valorDe(doNo, "application.id");
  if (!valorDe(doNo, "application.name").empty()) c.nome = valorDe(doNo, "application.name");
}

}  // namespace

ClienteDeSom clienteDoNo(const Grafo& grafo, const NoDoGrafo& no) {
  const std::optional<uint32_t> dono = numeroDe(no.props, "client.id");
  const ClienteDoGrafo* cliente = dono ? grafo.cliente(*dono) : nullptr;
  ClienteDeSom c = comoCliente(cliente ? cliente->props : Propriedades{});
  completarPeloNo(c, no.props);
  return c;
}

std::vector<ClienteDeSom> clientesDe(const Grafo& grafo, int32_t meuPid) {
  std::vector<ClienteDeSom> clientes;
  for (const ClienteDoGrafo& c : grafo.clientes) {
    // One whose properties have not come yet is still connecting: who it is is unknown.
    if (!c.completo || ehDoServidor(c.props) || numeroDe(c.props, "pipewire.sec.pid") == static_cast<uint32_t>(meuPid))
      continue;
    ClienteDeSom cliente = comoCliente(c.props);
    // This process's PulseAudio probe, still closing through pipewire-pulse:
    // it reports this process's own pid and binary (a program outside a
    // sandbox may report the same pid).
    if (cliente.pid == getpid() && executaOBinario(cliente.pid, cliente.binario)) continue;
    for (const NoDoGrafo& n : grafo.nos)
      if (numeroDe(n.props, "client.id") == c.id && cliente.id.empty()) completarPeloNo(cliente, n.props);
    clientes.push_back(std::move(cliente));
  }
  return clientes;
}

bool ehReproducaoDeAplicativo(const NoDoGrafo& no) {
  return valorDe(no.props, "media.class") == "Stream/Output/Audio" && valorDe(no.props, "node.link-group").empty();
}

}  // namespace escuta
