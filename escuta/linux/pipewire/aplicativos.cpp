#include "escuta/linux/pipewire/aplicativos.h"

#include "escuta/linux/identidade.h"

namespace escuta {

namespace {

Propriedades daIdentidade(const Grafo& grafo, const ClienteDoGrafo& cliente) {
  Propriedades p = cliente.props;
  if (!valorDe(p, "application.id").empty()) return p;
  for (const NoDoGrafo& n : grafo.nos) {
    if (numeroDe(n.props, "client.id") != cliente.id || valorDe(n.props, "application.id").empty()) continue;
    p["application.id"] = valorDe(n.props, "application.id");
    if (!valorDe(n.props, "application.name").empty()) p["application.name"] = valorDe(n.props, "application.name");
    break;
  }
  return p;
}

// The session manager, and the sound server's own connections (pipewire-pulse
// is the pipewire binary under another configuration).
bool ehDoServidor(const ClienteDoGrafo& c) {
  if (valorDe(c.props, "wireplumber.daemon") == "true") return true;
  for (const char* chave : {"application.name", "application.process.binary"}) {
    const std::string v = valorDe(c.props, chave);
    if (v == "pipewire" || v == "pipewire-pulse" || v == "wireplumber" || v == "pipewire-media-session") return true;
  }
  return false;
}

}  // namespace

std::string identidadeDoNo(const Grafo& grafo, const NoDoGrafo& no) {
  const std::optional<uint32_t> dono = numeroDe(no.props, "client.id");
  const ClienteDoGrafo* cliente = dono ? grafo.cliente(*dono) : nullptr;
  Propriedades p = cliente ? cliente->props : Propriedades{};
  if (valorDe(p, "application.id").empty() && !valorDe(no.props, "application.id").empty())
    p["application.id"] = valorDe(no.props, "application.id");
  return identidade(p);
}

int32_t pidDe(const ClienteDoGrafo& cliente) {
  return static_cast<int32_t>(numeroDe(cliente.props, "application.process.id").value_or(0));
}

std::vector<Aplicativo> aplicativosDe(const Grafo& grafo, int32_t meuPid) {
  std::vector<Aplicativo> aplicativos;
  for (const ClienteDoGrafo& c : grafo.clientes) {
    // One whose properties have not come yet is still connecting: who it is is unknown.
    if (!c.completo || ehDoServidor(c) || numeroDe(c.props, "pipewire.sec.pid") == static_cast<uint32_t>(meuPid))
      continue;
    const Propriedades p = daIdentidade(grafo, c);
    juntarPorProcesso(aplicativos, {identidade(p), valorDe(p, "application.name"), pidDe(c)});
  }
  return aplicativos;
}

bool ehReproducaoDeAplicativo(const NoDoGrafo& no) {
  return valorDe(no.props, "media.class") == "Stream/Output/Audio" && valorDe(no.props, "node.link-group").empty();
}

}  // namespace escuta
