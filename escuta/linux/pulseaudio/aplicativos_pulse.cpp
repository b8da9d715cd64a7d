#include "escuta/linux/pulseaudio/aplicativos_pulse.h"

#include <algorithm>

#include "escuta/linux/identidade.h"

namespace escuta {

namespace {

const ClientePulse* clienteDe(const std::vector<ClientePulse>& clientes, uint32_t indice) {
  for (const ClientePulse& c : clientes)
    if (c.indice == indice) return &c;
  return nullptr;
}

// Programs reach the server through the native protocol; every other client
// is one of the server's modules (login sessions, X11 session management).
bool ehPrograma(const ClientePulse& c) {
  return c.driver == "protocol-native.c" && valorDe(c.props, "application.process.binary") != "pulseaudio";
}

// libpulse says who the program is right after connecting; until then the
// server names it "Native client (<peer>)" itself.
bool terminouDeConectar(const ClientePulse& c) {
  return valorDe(c.props, "application.name") != "Native client (" + valorDe(c.props, "native-protocol.peer") + ")";
}

// A stream's own application.id/name speak for a client that has no id.
Propriedades daIdentidade(const Propriedades& doCliente, const Propriedades& doFluxo) {
  Propriedades p = doCliente;
  if (!valorDe(p, "application.id").empty() || valorDe(doFluxo, "application.id").empty()) return p;
  p["application.id"] = valorDe(doFluxo, "application.id");
  if (!valorDe(doFluxo, "application.name").empty()) p["application.name"] = valorDe(doFluxo, "application.name");
  return p;
}

int32_t pidConfiavel(const Propriedades& p, const ConfereProcesso& confere) {
  const auto pid = static_cast<int32_t>(numeroDe(p, "application.process.id").value_or(0));
  return pid > 0 && confere(pid, valorDe(p, "application.process.binary")) ? pid : 0;
}

Aplicativo aplicativoDe(const Propriedades& p, const ConfereProcesso& confere) {
  return {identidade(p), valorDe(p, "application.name"), pidConfiavel(p, confere)};
}

}  // namespace

std::vector<Aplicativo> aplicativosDoPulse(const std::vector<ClientePulse>& clientes,
                                           const std::vector<EntradaPulse>& entradas, int32_t meuPid,
                                           const ConfereProcesso& confere) {
  std::vector<Aplicativo> aplicativos;
  for (const ClientePulse& c : clientes) {
    if (!ehPrograma(c) || !terminouDeConectar(c)) continue;
    Propriedades p = c.props;
    for (const EntradaPulse& e : entradas)
      if (e.cliente == c.indice && valorDe(p, "application.id").empty()) p = daIdentidade(c.props, e.props);
    if (numeroDe(p, "application.process.id") == static_cast<uint32_t>(meuPid)) continue;
    juntarPorProcesso(aplicativos, aplicativoDe(p, confere));
  }
  return aplicativos;
}

Aplicativo donoDaEntrada(const EntradaPulse& entrada, const std::vector<ClientePulse>& clientes,
                         const ConfereProcesso& confere) {
  const ClientePulse* c = clienteDe(clientes, entrada.cliente);
  // The stream carries its client's keys too, merged when it was made.
  return aplicativoDe(daIdentidade(c ? c->props : entrada.props, entrada.props), confere);
}

bool deveSerOuvida(const EntradaPulse& entrada, const std::vector<ClientePulse>& clientes,
                   const std::vector<Aplicativo>& excluidos, const ConfereProcesso& confere) {
  if (entrada.cliente == UINT32_MAX) return false;
  if (excluidos.empty()) return true;
  const Aplicativo dono = donoDaEntrada(entrada, clientes, confere);
  return std::none_of(excluidos.begin(), excluidos.end(), [&](const Aplicativo& x) {
    return x.id == dono.id || (dono.pid != 0 && x.pid == dono.pid);
  });
}

}  // namespace escuta
