#include "escuta/linux/pipewire/ligacoes.h"

#include <algorithm>

#include "escuta/linux/pipewire/aplicativos.h"

namespace escuta {

namespace {

std::vector<const PortaDoGrafo*> portasDe(const Grafo& g, uint32_t no, bool saida, bool monitor = false) {
  std::vector<const PortaDoGrafo*> portas;
  for (const PortaDoGrafo& p : g.portas)
    if (p.no == no && p.saida == saida && p.monitor == monitor) portas.push_back(&p);
  std::sort(portas.begin(), portas.end(), [](auto* a, auto* b) { return a->indice < b->indice; });
  return portas;
}

std::vector<const PortaDoGrafo*> comCanal(const std::vector<const PortaDoGrafo*>& portas, const std::string& canal) {
  std::vector<const PortaDoGrafo*> mesmos;
  for (const PortaDoGrafo* p : portas)
    if (p->canal == canal) mesmos.push_back(p);
  return mesmos;
}

std::vector<const PortaDoGrafo*> destinos(const PortaDoGrafo& saida, size_t saidasDoNo,
                                         const std::vector<const PortaDoGrafo*>& entradas) {
  if (auto mesmos = comCanal(entradas, saida.canal); !mesmos.empty()) return mesmos;
  if (entradas.size() == 1) return entradas;
  if (saida.canal == "MONO" || saidasDoNo == 1) {
    std::vector<const PortaDoGrafo*> par = comCanal(entradas, "FL");
    for (const PortaDoGrafo* p : comCanal(entradas, "FR")) par.push_back(p);
    return par.empty() ? entradas : par;
  }
  return {entradas[saida.indice % entradas.size()]};
}

void ligar(uint32_t no, const std::vector<const PortaDoGrafo*>& saidas, uint32_t captura,
           const std::vector<const PortaDoGrafo*>& entradas, std::vector<Ligacao>& ligacoes) {
  for (const PortaDoGrafo* s : saidas)
    for (const PortaDoGrafo* e : destinos(*s, saidas.size(), entradas)) ligacoes.push_back({no, s->id, captura, e->id});
}

}  // namespace

std::vector<Ligacao> ligacoesDesejadas(const Grafo& grafo, uint32_t captura,
                                       const std::function<bool(const NoDoGrafo&)>& ouvir) {
  std::vector<Ligacao> ligacoes;
  const std::vector<const PortaDoGrafo*> entradas = portasDe(grafo, captura, false);
  if (entradas.empty()) return ligacoes;
  for (const NoDoGrafo& no : grafo.nos) {
    if (no.id == captura || !no.completo || !ehReproducaoDeAplicativo(no)) continue;
    const std::optional<uint32_t> dono = numeroDe(no.props, "client.id");
    const ClienteDoGrafo* cliente = dono ? grafo.cliente(*dono) : nullptr;
    if ((dono && (!cliente || !cliente->completo)) || !ouvir(no)) continue;
    ligar(no.id, portasDe(grafo, no.id, true), captura, entradas, ligacoes);
  }
  std::sort(ligacoes.begin(), ligacoes.end());
  return ligacoes;
}

}  // namespace escuta
