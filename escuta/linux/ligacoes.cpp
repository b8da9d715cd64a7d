#include "escuta/linux/ligacoes.h"

#include <algorithm>

#include "escuta/linux/aplicativos.h"

namespace escuta {

namespace {

std::vector<const PortaDoGrafo*> portasDe(const Grafo& g, uint32_t no, bool saida, bool monitor = false) {
  std::vector<const PortaDoGrafo*> portas;
  for (const PortaDoGrafo& p : g.portas)
    if (p.no == no && p.saida == saida && p.monitor == monitor) portas.push_back(&p);
  std::sort(portas.begin(), portas.end(), [](auto* a, auto* b) { return a->indice < b->indice; });
  return portas;
}

std::vector<const PortaDoGrafo*> destinos(const PortaDoGrafo& saida, size_t saidasDoNo,
                                         const std::vector<const PortaDoGrafo*>& entradas) {
  std::vector<const PortaDoGrafo*> mesmos;
  for (const PortaDoGrafo* e : entradas)
    if (e->canal == saida.canal) mesmos.push_back(e);
  if (!mesmos.empty()) return mesmos;
  if (saida.canal == "MONO" || saidasDoNo == 1) return entradas;
  if (entradas.size() == 1) return entradas;
  return {entradas[saida.indice % entradas.size()]};
}

void ligar(uint32_t no, const std::vector<const PortaDoGrafo*>& saidas, uint32_t captura,
           const std::vector<const PortaDoGrafo*>& entradas, std::vector<Ligacao>& ligacoes) {
  for (const PortaDoGrafo* s : saidas)
    for (const PortaDoGrafo* e : destinos(*s, saidas.size(), entradas)) ligacoes.push_back({no, s->id, captura, e->id});
}

const NoDoGrafo* sinkPadrao(const Grafo& g) {
  const NoDoGrafo* primeiro = nullptr;
  for (const NoDoGrafo& n : g.nos) {
    if (valorDe(n.props, "media.class") != "Audio/Sink") continue;
    if (!g.sinkPadrao.empty() && valorDe(n.props, "node.name") == g.sinkPadrao) return &n;
    if (!primeiro) primeiro = &n;
  }
  return primeiro;
}

}  // namespace

std::vector<Ligacao> ligacoesDoMonitor(const Grafo& grafo, uint32_t captura) {
  std::vector<Ligacao> ligacoes;
  const std::vector<const PortaDoGrafo*> entradas = portasDe(grafo, captura, false);
  const NoDoGrafo* sink = sinkPadrao(grafo);
  if (!sink || entradas.empty()) return ligacoes;
  ligar(sink->id, portasDe(grafo, sink->id, true, true), captura, entradas, ligacoes);
  std::sort(ligacoes.begin(), ligacoes.end());
  return ligacoes;
}

std::vector<Ligacao> ligacoesDesejadas(const Grafo& grafo, uint32_t captura, const std::vector<std::string>& excluidos) {
  std::vector<Ligacao> ligacoes;
  const std::vector<const PortaDoGrafo*> entradas = portasDe(grafo, captura, false);
  if (entradas.empty()) return ligacoes;
  for (const NoDoGrafo& no : grafo.nos) {
    if (no.id == captura || !no.completo || !ehReproducaoDeAplicativo(no)) continue;
    const std::optional<uint32_t> dono = numeroDe(no.props, "client.id");
    const ClienteDoGrafo* cliente = dono ? grafo.cliente(*dono) : nullptr;
    if (dono && (!cliente || !cliente->completo)) continue;
    const std::string quem = identidadeDoNo(grafo, no);
    if (std::find(excluidos.begin(), excluidos.end(), quem) != excluidos.end()) continue;
    ligar(no.id, portasDe(grafo, no.id, true), captura, entradas, ligacoes);
  }
  std::sort(ligacoes.begin(), ligacoes.end());
  return ligacoes;
}

}  // namespace escuta
