#include "escuta/linux/pipewire/ligacoes.h"

#include "escuta/linux/pipewire/aplicativos.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace escuta {
namespace {

constexpr uint32_t kCaptura = 100;

bool todos(const NoDoGrafo&) { return true; }

// A graph with our stereo capture node (ports 101 FL, 102 FR) and players.
struct Cena {
  Grafo g;
  Cena() {
    g.nos.push_back({kCaptura, {{"media.class", "Stream/Input/Audio"}}, true});
    g.portas = {{101, kCaptura, false, false, "FL", 0}, {102, kCaptura, false, false, "FR", 1}};
  }
  void tocador(uint32_t cliente, uint32_t no, const std::string& binario, std::vector<std::string> canais,
               bool completo = true) {
    if (!g.cliente(cliente)) g.clientes.push_back({cliente, {{"application.process.binary", binario}}, true});
    g.nos.push_back({no, {{"client.id", std::to_string(cliente)}, {"media.class", "Stream/Output/Audio"}}, completo});
    for (uint32_t k = 0; k < canais.size(); ++k) g.portas.push_back({no * 10 + k, no, true, false, canais[k], k});
  }
};

TEST(Ligacoes, CanalACanalSoOsQueSaoOuvidos) {
  Cena c;
  c.tocador(1, 11, "a", {"FL", "FR"});
  c.tocador(2, 12, "b", {"FL", "FR"});
  c.tocador(1, 13, "a", {"FL", "FR"});
  const auto semA = [&c](const NoDoGrafo& no) { return clienteDoNo(c.g, no).binario != "a"; };
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, semA),
            (std::vector<Ligacao>{{12, 120, kCaptura, 101}, {12, 121, kCaptura, 102}}));
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, todos).size(), 6u);
}

TEST(Ligacoes, MonoEspalhaECanaisEstranhosPorIndice) {
  Cena c;
  c.tocador(1, 11, "mono", {"MONO"});
  c.tocador(2, 12, "surround", {"FL", "FR", "FC", "LFE"});
  const std::vector<Ligacao> l = ligacoesDesejadas(c.g, kCaptura, todos);
  EXPECT_EQ(l, (std::vector<Ligacao>{{11, 110, kCaptura, 101},
                                     {11, 110, kCaptura, 102},
                                     {12, 120, kCaptura, 101},
                                     {12, 121, kCaptura, 102},
                                     {12, 122, kCaptura, 101},
                                     {12, 123, kCaptura, 102}}));
}

TEST(Ligacoes, CapturaMonoRecebeTodosOsCanais) {
  Cena c;
  c.g.portas = {{101, kCaptura, false, false, "MONO", 0}};
  c.tocador(1, 11, "a", {"FL", "FR"});
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, todos),
            (std::vector<Ligacao>{{11, 110, kCaptura, 101}, {11, 111, kCaptura, 101}}));
}

TEST(Ligacoes, QuemTocaAindaDesconhecidoNaoLigaNemPergunta) {
  Cena c;
  c.tocador(1, 11, "a", {"FL", "FR"}, false);
  int perguntas = 0;
  const auto contar = [&perguntas](const NoDoGrafo&) { return ++perguntas > 0; };
  EXPECT_TRUE(ligacoesDesejadas(c.g, kCaptura, contar).empty());
  c.g.nos.back().completo = true;
  c.g.clientes.back().completo = false;
  EXPECT_TRUE(ligacoesDesejadas(c.g, kCaptura, contar).empty());
  EXPECT_EQ(perguntas, 0);
}

TEST(Ligacoes, MonitoresESemEntradas) {
  Cena c;
  c.tocador(1, 11, "a", {"FL"});
  c.g.portas.back().monitor = true;
  EXPECT_TRUE(ligacoesDesejadas(c.g, kCaptura, todos).empty());
  Cena semPortas;
  semPortas.g.portas.clear();
  semPortas.tocador(1, 11, "a", {"FL"});
  EXPECT_TRUE(ligacoesDesejadas(semPortas.g, kCaptura, todos).empty());
}

// The capture node as it runs: a port for every speaker position.
struct CenaCompleta : Cena {
  static constexpr const char* kCanais[] = {"FL", "FR", "FC", "LFE", "RL", "RR", "SL", "SR", "RC"};
  CenaCompleta() {
    g.portas.clear();
    for (uint32_t k = 0; k < 9; ++k) g.portas.push_back({101 + k, kCaptura, false, false, kCanais[k], k});
  }
  uint32_t porta(const std::string& canal) const {
    for (const PortaDoGrafo& p : g.portas)
      if (p.no == kCaptura && p.canal == canal) return p.id;
    return 0;
  }
};

TEST(Ligacoes, CadaCanalNaSuaPosicao) {
  const std::vector<std::vector<std::string>> disposicoes = {
      {"MONO"}, {"FL", "FR"}, {"FL", "FR", "FC", "LFE", "RL", "RR"}, {"FL", "FR", "FC", "LFE", "RL", "RR", "SL", "SR"}};
  for (const auto& canais : disposicoes) {
    CenaCompleta c;
    c.tocador(1, 11, "a", canais);
    std::vector<Ligacao> esperadas;
    for (uint32_t k = 0; k < canais.size(); ++k) {
      if (canais[k] == "MONO") {
        // as a player does on stereo speakers: the same signal left and right
        esperadas.push_back({11, 110, kCaptura, c.porta("FL")});
        esperadas.push_back({11, 110, kCaptura, c.porta("FR")});
      } else {
        esperadas.push_back({11, 110 + k, kCaptura, c.porta(canais[k])});
      }
    }
    std::sort(esperadas.begin(), esperadas.end());
    EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, todos), esperadas) << canais.size() << " canais";
  }
}

TEST(Ligacoes, CanaisSemPosicaoPorIndice) {
  CenaCompleta c;
  c.tocador(1, 11, "a", {"AUX0", "AUX1", "AUX2"});
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, todos),
            (std::vector<Ligacao>{{11, 110, kCaptura, 101}, {11, 111, kCaptura, 102}, {11, 112, kCaptura, 103}}));
}

// Whatever device they play to, only programs' streams are heard: never a
// device's monitor (the same sound again) nor a filter's re-emitted stream.
TEST(Ligacoes, SoFluxosDeProgramas) {
  CenaCompleta c;
  c.g.nos.push_back({200, {{"media.class", "Audio/Sink"}}, true});
  c.g.portas.push_back({201, 200, true, true, "FL", 0});
  c.g.nos.push_back({300, {{"media.class", "Stream/Output/Audio"}, {"node.link-group", "filtro"}}, true});
  c.g.portas.push_back({301, 300, true, false, "FL", 0});
  c.tocador(1, 11, "a", {"FL"});
  c.g.nos.back().props["target.object"] = "outro-dispositivo";
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, todos), (std::vector<Ligacao>{{11, 110, kCaptura, c.porta("FL")}}));
}

}  // namespace
}  // namespace escuta
