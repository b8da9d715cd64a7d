#include "escuta/linux/aplicativos.h"

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

std::string identidade(const Propriedades& p) {
  for (const char* chave : {"application.id", "pipewire.access.portal.app_id", "application.process.binary"}) {
    const std::string v = valorDe(p, chave);
    if (!v.empty()) return v;
  }
  return {};
}

bool ehDoGerenciador(const ClienteDoGrafo& c) {
  return valorDe(c.props, "wireplumber.daemon") == "true" ||
         valorDe(c.props, "application.name") == "pipewire-media-session";
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

std::vector<Aplicativo> aplicativosDe(const Grafo& grafo, int32_t meuPid) {
  std::vector<Aplicativo> aplicativos;
  for (const ClienteDoGrafo& c : grafo.clientes) {
    if (ehDoGerenciador(c) || numeroDe(c.props, "pipewire.sec.pid") == static_cast<uint32_t>(meuPid)) continue;
    const Propriedades p = daIdentidade(grafo, c);
    const int32_t pid = static_cast<int32_t>(numeroDe(p, "application.process.id").value_or(0));
    aplicativos.push_back({identidade(p), valorDe(p, "application.name"), pid});
  }
  return aplicativos;
}

bool ehReproducaoDeAplicativo(const NoDoGrafo& no) {
  return valorDe(no.props, "media.class") == "Stream/Output/Audio" && valorDe(no.props, "node.link-group").empty();
}

}  // namespace escuta
