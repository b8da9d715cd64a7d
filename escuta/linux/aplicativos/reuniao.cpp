#include "escuta/linux/aplicativos/reuniao.h"

#include <algorithm>
#include <set>

#include "escuta/linux/unidades/unidades.h"

namespace escuta {

namespace {

// Far deeper than any desktop's process tree; only a loop would go on.
constexpr int kGeracoes = 256;

Indicios daUnidade(const std::string& unidade) {
  Indicios i;
  i.naTela = true;
  i.unidade = idDaUnidade(unidade);
  return i;
}

// What tells apart windows whose process is unknown: the id they declare,
// else their connection, else their kind.
std::string chaveSemPid(const Janela& j) {
  if (!j.idDeclarado.empty()) return "id:" + j.idDeclarado;
  if (!j.cliente.empty()) return "cliente:" + j.cliente;
  return "classe:" + j.classe;
}

}  // namespace

Reuniao::Reuniao(const std::vector<Janela>& janelas, const std::vector<MembroDeUnidade>& unidades,
                 const std::vector<ClienteDeSom>& clientes, Arvore& arvore, const Nomes& nomes) {
  juntarDonos(janelas, arvore);
  std::vector<Unidade> semJanela = juntarUnidades(unidades, arvore);
  juntarSemPid(janelas, semJanela, arvore);
  for (const Unidade& u : semJanela) listarUnidade(u, arvore, "");
  for (const ClienteDeSom& c : clientes) juntarCliente(c, arvore);
  nomear(nomes);
}

size_t Reuniao::novo(int32_t pid, Montagem montagem) {
  aplicativos_.push_back({"", "", pid});
  montagens_.push_back(std::move(montagem));
  return aplicativos_.size() - 1;
}

// One application per process that owns windows; its first window that
// declares an id and its first kind speak for it.
void Reuniao::juntarDonos(const std::vector<Janela>& janelas, Arvore& arvore) {
  for (const Janela& j : janelas) {
    if (j.pid <= 0) continue;
    auto [it, novoDono] = donos_.try_emplace(j.pid, aplicativos_.size());
    if (novoDono) {
      Montagem m;
      m.indicios.naTela = true;
      m.indicios.flatpak = arvore.flatpak(j.pid);
      m.indicios.binario = arvore.binario(j.pid);
      novo(j.pid, std::move(m));
    }
    Montagem& m = montagens_[it->second];
    if (m.indicios.daJanela.empty()) m.indicios.daJanela = j.idDeclarado;
    if (m.classe.empty()) m.classe = j.classe;
  }
}

// Each app unit goes to its top window owners (those with no window owner
// above them in the unit), which take its desktop id; a window owner lower
// down (a program started from a terminal in the terminal's unit) keeps its
// own. The units with no window owner are given back, in order.
std::vector<Reuniao::Unidade> Reuniao::juntarUnidades(const std::vector<MembroDeUnidade>& membros, Arvore& arvore) {
  std::vector<Unidade> unidades;
  for (const MembroDeUnidade& m : membros) {
    auto it = std::find_if(unidades.begin(), unidades.end(), [&](const Unidade& u) { return u.nome == m.unidade; });
    if (it == unidades.end()) it = unidades.insert(unidades.end(), {m.unidade, {}});
    it->membros.push_back(m.pid);
  }
  std::vector<Unidade> semJanela;
  for (const Unidade& u : unidades) {
    std::optional<size_t> primeiro;
    for (int32_t pid : u.membros) {
      const auto dono = donos_.find(pid);
      if (dono == donos_.end()) continue;
      bool emCima = true;
      for (int32_t p = arvore.pai(pid), k = 0; p > 0 && k < kGeracoes && arvore.unidade(p) == u.nome;
           p = arvore.pai(p), ++k)
        if (donos_.count(p)) emCima = false;
      if (!emCima) continue;
      montagens_[dono->second].indicios.unidade = idDaUnidade(u.nome);
      primeiro = std::min(primeiro.value_or(dono->second), dono->second);
    }
    if (primeiro)
      unidades_[u.nome] = *primeiro;
    else
      semJanela.push_back(u);
  }
  return semJanela;
}

// A window whose process nothing vouches for: the app unit whose desktop id
// it declares, when exactly one unit has it (a Wayland compositor that names
// no processes, on a desktop that launches apps in units); else an
// application of its own, one per id (or connection, or kind).
void Reuniao::juntarSemPid(const std::vector<Janela>& janelas, std::vector<Unidade>& semJanela, Arvore& arvore) {
  std::map<std::string, size_t> vistas;
  for (const Janela& j : janelas) {
    if (j.pid > 0) continue;
    std::vector<std::string> comOId;
    for (const auto& [nome, _] : unidades_)
      if (!j.idDeclarado.empty() && idDaUnidade(nome) == j.idDeclarado) comOId.push_back(nome);
    for (const Unidade& u : semJanela)
      if (!j.idDeclarado.empty() && idDaUnidade(u.nome) == j.idDeclarado) comOId.push_back(u.nome);
    if (comOId.size() == 1) {
      const auto u = std::find_if(semJanela.begin(), semJanela.end(), [&](const Unidade& x) { return x.nome == comOId[0]; });
      if (u != semJanela.end()) {
        listarUnidade(*u, arvore, j.classe);
        semJanela.erase(u);
      }
      continue;
    }
    auto [it, nova] = vistas.try_emplace(chaveSemPid(j), aplicativos_.size());
    if (!nova) continue;
    Montagem m;
    m.indicios.naTela = true;
    m.indicios.daJanela = j.idDeclarado;
    m.indicios.classe = j.classe;
    m.classe = j.classe;
    novo(0, std::move(m));
  }
}

// Listed under its leader: the member the others descend from (the oldest,
// should several have come from outside the unit).
size_t Reuniao::listarUnidade(const Unidade& u, Arvore& arvore, const std::string& classe) {
  const std::set<int32_t> membros(u.membros.begin(), u.membros.end());
  int32_t lider = 0;
  for (int32_t pid : u.membros) {
    if (membros.count(arvore.pai(pid))) continue;
    if (lider == 0 || std::make_pair(arvore.inicio(pid), pid) < std::make_pair(arvore.inicio(lider), lider))
      lider = pid;
  }
  Montagem m{daUnidade(u.nome), classe, ""};
  const size_t indice = novo(lider, std::move(m));
  unidades_[u.nome] = indice;
  return indice;
}

void Reuniao::juntarCliente(const ClienteDeSom& c, Arvore& arvore) {
  const int32_t pid = pidConfiavel(c, arvore);
  if (pid == 0 && c.pid <= 0) {
    novo(0, {indiciosDoSom(c, ""), "", c.nome});
    return;
  }
  if (pid == 0) {
    // A program whose reported pid nothing here vouches for (one outside this
    // sandbox's pid namespace) is still one entry however many connections
    // it opens (SDL opens two): by the pid and binary it reports.
    auto [it, primeira] = semPid_.try_emplace({c.pid, c.binario}, aplicativos_.size());
    if (primeira) return static_cast<void>(novo(0, {indiciosDoSom(c, ""), "", c.nome}));
    Montagem& m = montagens_[it->second];
    if (identidade(m.indicios).empty()) m.indicios = indiciosDoSom(c, "");
    if (m.nomeDoSom.empty()) m.nomeDoSom = c.nome;
    return;
  }
  const Pertenca p = pertenca(pid, arvore);
  if (!p.aplicativo && !p.unidade.empty()) {
    // It joined its unit after the units were read.
    listarUnidade({p.unidade, {pid}}, arvore, "");
    return juntarCliente(c, arvore);
  }
  if (!p.aplicativo) {
    avulsos_[pid] = novo(pid, {indiciosDoSom(c, arvore.flatpak(pid)), "", c.nome});
    return;
  }
  Montagem& m = montagens_[*p.aplicativo];
  // Another connection of a program listed by its sound only fills what the first left empty.
  if (!m.indicios.naTela && identidade(m.indicios).empty()) m.indicios = indiciosDoSom(c, arvore.flatpak(pid));
  if (m.nomeDoSom.empty()) m.nomeDoSom = c.nome;
}

Reuniao::Pertenca Reuniao::pertenca(int32_t pid, Arvore& arvore) const {
  const std::string unidade = arvore.unidade(pid);
  for (int32_t p = pid, k = 0; p > 0 && k < kGeracoes && arvore.unidade(p) == unidade; p = arvore.pai(p), ++k)
    if (const auto dono = donos_.find(p); dono != donos_.end()) return {dono->second, unidade};
  if (const auto u = unidades_.find(unidade); !unidade.empty() && u != unidades_.end()) return {u->second, unidade};
  if (const auto a = avulsos_.find(pid); a != avulsos_.end()) return {a->second, unidade};
  return {std::nullopt, unidade};
}

std::string Reuniao::idDoAplicativoDe(const ClienteDeSom& c, Arvore& arvore) const {
  const int32_t pid = pidConfiavel(c, arvore);
  if (pid == 0) return identidade(indiciosDoSom(c, ""));
  const Pertenca p = pertenca(pid, arvore);
  if (p.aplicativo) return aplicativos_[*p.aplicativo].id;
  if (!p.unidade.empty()) return identidade(daUnidade(p.unidade));
  return identidade(indiciosDoSom(c, arvore.flatpak(pid)));
}

// The desktop entry's Name (by the application's id, else by its program's
// name), else the window's kind, else what its sound client calls itself.
void Reuniao::nomear(const Nomes& nomes) {
  for (size_t k = 0; k < aplicativos_.size(); ++k) {
    const Montagem& m = montagens_[k];
    Aplicativo& a = aplicativos_[k];
    a.id = identidade(m.indicios);
    for (const std::string& candidato : {nomes.de(a.id), nomes.de(m.indicios.binario), m.classe, m.nomeDoSom})
      if (a.nome.empty()) a.nome = candidato;
  }
  montagens_.clear();
}

}  // namespace escuta
