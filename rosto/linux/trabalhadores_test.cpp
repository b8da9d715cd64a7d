#include "rosto/linux/trabalhadores.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>

namespace rosto {
namespace {

TEST(Trabalhadores, CadaTarefaUmaVezEmQualquerLote) {
  for (int quantos : {1, 2, 5}) {
    Trabalhadores t(quantos);
    EXPECT_EQ(t.quantos(), quantos);
    for (size_t tamanho : {0u, 1u, 3u, 40u}) {
      std::vector<std::atomic<int>> vezes(tamanho);
      std::vector<int> quem(tamanho, -1);
      std::vector<Trabalhadores::Tarefa> tarefas;
      for (size_t k = 0; k < tamanho; ++k)
        tarefas.push_back([&, k](int w) {
          vezes[k]++;
          quem[k] = w;
        });
      t.executar(tarefas);
      for (size_t k = 0; k < tamanho; ++k) {
        EXPECT_EQ(vezes[k].load(), 1) << quantos << " trabalhadores, lote de " << tamanho;
        EXPECT_GE(quem[k], 0);
        EXPECT_LT(quem[k], quantos);
      }
    }
  }
}

TEST(Trabalhadores, UmSoTrabalhaNaLinhaDeQuemChama) {
  Trabalhadores t(1);
  std::set<std::thread::id> linhas;
  t.executar({[&](int) { linhas.insert(std::this_thread::get_id()); },
              [&](int) { linhas.insert(std::this_thread::get_id()); }});
  EXPECT_EQ(linhas, std::set<std::thread::id>{std::this_thread::get_id()});
}

// Two jobs that each wait for the other finish only when they run at once.
TEST(Trabalhadores, DoisTrabalhamAoMesmoTempo) {
  Trabalhadores t(2);
  std::atomic<int> chegaram{0};
  auto encontro = [&](int) {
    chegaram++;
    while (chegaram.load() < 2) std::this_thread::yield();
  };
  t.executar({encontro, encontro});
  EXPECT_EQ(chegaram.load(), 2);
}

// A network that fails on one tile fails the frame, on the caller's thread,
// and leaves the workers ready for the next frame.
TEST(Trabalhadores, ErroDeUmaTarefaChegaAQuemChamou) {
  Trabalhadores t(2);
  std::atomic<int> feitas{0};
  const std::vector<Trabalhadores::Tarefa> tarefas{[&](int) { feitas++; },
                                                   [](int) { throw std::runtime_error("forward falhou"); },
                                                   [&](int) { feitas++; }};
  EXPECT_THROW(t.executar(tarefas), std::runtime_error);
  EXPECT_EQ(feitas.load(), 2);
  t.executar({[&](int) { feitas++; }});
  EXPECT_EQ(feitas.load(), 3);
}

}  // namespace
}  // namespace rosto
