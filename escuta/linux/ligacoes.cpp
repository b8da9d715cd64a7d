#include "escuta/linux/ligacoes.h"

#include <algorithm>

#include "escuta/linux/aplicativos.h"

namespace escuta {

namespace {

std::vector<const PortaDoGrafo*> portasDe(const Grafo& g, uint32_t no, bool saida) {
  std::vector<const PortaDoGrafo*> portas;
  for (const PortaDoGrafo& p : g.portas)
    if (p.no == no && p.saida == saida && !p.monitor) portas.push_back(&p);
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

}  // namespace

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
    const std::vector<const PortaDoGrafo*> saidas = portasDe(grafo, no.id, true);
    for (const PortaDoGrafo* s : saidas)
      for (const PortaDoGrafo* e : destinos(*s, saidas.size(), entradas))
        ligacoes.push_back({no.id, s->id, captura, e->id});
  }
  std::sort(ligacoes.begin(), ligacoes.end());
  return ligacoes;
}

}  // namespace escuta
