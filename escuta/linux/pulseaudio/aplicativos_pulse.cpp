#include "escuta/linux/pulseaudio/aplicativos_pulse.h"

#include "escuta/linux/clientes_do_servidor.h"
#include "escuta/linux/processos.h"

namespace escuta {

namespace {

const ClientePulse* achar(const std::vector<ClientePulse>& clientes, uint32_t indice) {
  for (const ClientePulse& c : clientes)
    if (c.indice == indice) return &c;
  return nullptr;
}

// Programs reach PulseAudio through the native protocol; every other client
// is one of the server's modules (login sessions, X11 session management).
// pipewire-pulse lists every client of PipeWire's, its own and the session
// manager's among them, all with the driver "PipeWire".
bool ehPrograma(const ClientePulse& c) {
  return (c.driver == "protocol-native.c" || c.driver == "PipeWire") && !ehDoServidor(c.props);
}

// libpulse says who the program is right after connecting; until then the
// server names it "Native client (<peer>)" itself.
bool terminouDeConectar(const ClientePulse& c) {
  return valorDe(c.props, "application.name") != "Native client (" + valorDe(c.props, "native-protocol.peer") + ")";
}

// A stream's own application.id/name speak for a client that has no id.
ClienteDeSom comoCliente(const Propriedades& doCliente, const Propriedades& doFluxo) {
  ClienteDeSom c{static_cast<int32_t>(numeroDe(doCliente, "application.process.id").value_or(0)),
                 valorDe(doCliente, "application.id"), valorDe(doCliente, "pipewire.access.portal.app_id"),
                 valorDe(doCliente, "application.process.binary"), valorDe(doCliente, "application.name")};
  if (c.id.empty() && !valorDe(doFluxo, "application.id").empty()) {
    c.id = valorDe(doFluxo, "application.id");
    if (!valorDe(doFluxo, "application.name").empty()) c.nome = valorDe(doFluxo, "application.name");
  }
  return c;
}

}  // namespace

std::vector<ClienteDeSom> clientesDoPulse(const std::vector<ClientePulse>& clientes,
                                          const std::vector<EntradaPulse>& entradas, int32_t meuPid) {
  std::vector<ClienteDeSom> programas;
  for (const ClientePulse& c : clientes) {
    if (!ehPrograma(c) || !terminouDeConectar(c)) continue;
    ClienteDeSom programa = comoCliente(c.props, {});
    for (const EntradaPulse& e : entradas)
      if (e.cliente == c.indice && programa.id.empty()) programa = comoCliente(c.props, e.props);
    // This very listing: its pid, running its binary (a program outside this
    // sandbox's pid namespace may report the same pid).
    if (programa.pid == meuPid && executaOBinario(meuPid, programa.binario)) continue;
    programas.push_back(std::move(programa));
  }
  return programas;
}

ClienteDeSom clienteDaEntrada(const EntradaPulse& entrada, const std::vector<ClientePulse>& clientes) {
  const ClientePulse* c = achar(clientes, entrada.cliente);
  // The stream carries its client's keys too, merged when it was made.
  return comoCliente(c ? c->props : entrada.props, entrada.props);
}

ClienteDeSom clienteDeSom(const ClientePulse& cliente) { return comoCliente(cliente.props, {}); }

bool ehDePrograma(const EntradaPulse& entrada) { return entrada.cliente != UINT32_MAX; }

}  // namespace escuta
