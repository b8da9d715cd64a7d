#pragma once
// The listing's applications: every source's records merged in one place by
// one key, the process. An application is a window's owner, or an app unit,
// or a sound client's process that belongs to neither, with the processes
// that belong to it; listed once, under its owner's pid. The same rule tells,
// later, which application a stream's process belongs to, so the listing and
// the exclusion never disagree.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "escuta/linux/aplicativos/arvore.h"
#include "escuta/linux/aplicativos/fontes.h"
#include "escuta/linux/aplicativos/identidade.h"
#include "escuta/linux/aplicativos/nomes.h"
#include "escuta/plataforma.h"

namespace escuta {

class Reuniao {
 public:
  Reuniao() = default;
  // Windows' owners first, in the windows' order; then app units that show no
  // window; then the sound clients that belong to none of these, in the
  // server's order, one per process (one without a trusted pid: one per
  // reported pid and binary, else alone).
  Reuniao(const std::vector<Janela>& janelas, const std::vector<MembroDeUnidade>& unidades,
          const std::vector<ClienteDeSom>& clientes, Arvore& arvore, const Nomes& nomes);

  const std::vector<Aplicativo>& aplicativos() const { return aplicativos_; }

  // The id of the application the client's process belongs to: the one the
  // listing gave, or would give to a process started since.
  std::string idDoAplicativoDe(const ClienteDeSom& cliente, Arvore& arvore) const;

 private:
  struct Pertenca {
    std::optional<size_t> aplicativo;  // a listed one
    std::string unidade;               // the process's app unit, listed or not
  };
  // Which application process `pid` belongs to: itself or its nearest
  // ancestor within its own app unit (or outside any) that owns a window;
  // else its app unit's; else itself, when listed as a sound client.
  Pertenca pertenca(int32_t pid, Arvore& arvore) const;

  struct Montagem {
    Indicios indicios;
    std::string classe;
    std::string nomeDoSom;
  };
  struct Unidade {
    std::string nome;
    std::vector<int32_t> membros;
  };
  size_t novo(int32_t pid, Montagem montagem);
  void juntarDonos(const std::vector<Janela>& janelas, Arvore& arvore);
  std::vector<Unidade> juntarUnidades(const std::vector<MembroDeUnidade>& membros, Arvore& arvore);
  void juntarSemPid(const std::vector<Janela>& janelas, std::vector<Unidade>& semJanela, Arvore& arvore);
  size_t listarUnidade(const Unidade& unidade, Arvore& arvore, const std::string& classe);
  void juntarCliente(const ClienteDeSom& cliente, Arvore& arvore);
  void nomear(const Nomes& nomes);

  std::vector<Aplicativo> aplicativos_;
  std::vector<Montagem> montagens_;          // beside aplicativos_, until the ids and names are set
  std::map<int32_t, size_t> donos_;          // a window's owner
  std::map<std::string, size_t> unidades_;   // an app unit
  std::map<int32_t, size_t> avulsos_;        // a sound client's process that belongs to neither
  std::map<std::pair<int32_t, std::string>, size_t> semPid_;  // a program's reported pid and binary, unvouched
};

}  // namespace escuta
