#include "escuta/linux/servidores.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace escuta {
namespace {

// A server that answered: it only says who it is.
class Falso : public ServidorDeSom {
 public:
  explicit Falso(std::string nome) : nome(std::move(nome)) {}
  Resultado<std::vector<ClienteDeSom>> clientes(Arvore&) override { return std::vector<ClienteDeSom>{}; }
  std::unique_ptr<Fluxo> criarFluxo(std::shared_ptr<const Exclusao>, const ConfiguracaoDoFluxo&,
                                    DelegadoDoFluxo&) override {
    return nullptr;
  }
  std::string nome;
};

struct Resposta {
  Sondagem::Resposta resposta;
  std::string motivo;
};

// What each probe of the table answers in the current case; how many were asked.
std::array<Resposta, 3> respostas;
int perguntados = 0;

template <int k>
Sondagem sondar() {
  ++perguntados;
  const Resposta& r = respostas[k];
  const bool serve = r.resposta == Sondagem::atende || r.resposta == Sondagem::porOutro;
  return {r.resposta, serve ? std::make_unique<Falso>("s" + std::to_string(k)) : nullptr, r.motivo};
}

constexpr std::array<ServidorConhecido, 3> kTabela{{{"A", &sondar<0>}, {"B", &sondar<1>}, {"C", &sondar<2>}}};

TEST(EscolherServidor, OrdemRecusaEQuemRespondePorOutro) {
  constexpr auto atende = Sondagem::atende, ausente = Sondagem::ausente, recusou = Sondagem::recusou,
                 porOutro = Sondagem::porOutro;
  struct Caso {
    std::array<Resposta, 3> respostas;
    std::string escolhido;  // or the error
    std::vector<std::string> linhas;
  } casos[] = {
      // The first that answers for itself; those after it are not asked.
      {{{{ausente, "sem soquete em /x"}, {atende, ""}, {atende, ""}}},
       "s1",
       {"A: sem soquete em /x", "B: em uso"}},
      // One that answers for another waits for it: the other wins when it answers...
      {{{{porOutro, "por B"}, {atende, ""}, {ausente, "z"}}}, "s1", {"A: por B; não usado", "B: em uso"}},
      // ...and serves when it does not, nor anything after it.
      {{{{porOutro, "por B"}, {ausente, "ocupado"}, {ausente, "z"}}},
       "s0",
       {"A: por B; em uso", "B: ocupado", "C: z"}},
      // A refusal ends the search with the permission error...
      {{{{recusou, "Access denied"}, {atende, ""}, {atende, ""}}},
       "A: Access denied",
       {"A: recusou o acesso: Access denied"}},
      // ...but not when the same sound is already served for it.
      {{{{porOutro, "por B"}, {recusou, "negado"}, {atende, ""}}},
       "s0",
       {"A: por B; em uso", "B: recusou o acesso: negado"}},
      // None: every reason.
      {{{{ausente, "a"}, {ausente, "b"}, {ausente, "c"}}}, "A: a; B: b; C: c", {"A: a", "B: b", "C: c"}},
  };
  for (const Caso& caso : casos) {
    respostas = caso.respostas;
    perguntados = 0;
    std::vector<std::string> linhas;
    Resultado<std::unique_ptr<ServidorDeSom>> r =
        escolherServidor(kTabela, [&linhas](const std::string& l) { linhas.push_back(l); });
    const std::string escolhido = r.ok() ? static_cast<Falso&>(*r.valor()).nome : r.erro().descricao;
    EXPECT_EQ(escolhido, caso.escolhido);
    EXPECT_EQ(linhas, caso.linhas) << caso.escolhido;
    EXPECT_EQ(perguntados, static_cast<int>(caso.linhas.size()));
  }
}

}  // namespace
}  // namespace escuta
