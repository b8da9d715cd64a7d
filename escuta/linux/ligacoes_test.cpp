#include "escuta/linux/ligacoes.h"

#include <gtest/gtest.h>

namespace escuta {
namespace {

constexpr uint32_t kCaptura = 100;

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

TEST(Ligacoes, CanalACanalMenosOsExcluidos) {
  Cena c;
  c.tocador(1, 11, "a", {"FL", "FR"});
  c.tocador(2, 12, "b", {"FL", "FR"});
  c.tocador(1, 13, "a", {"FL", "FR"});  // the excluded application's second stream
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, {"a"}),
            (std::vector<Ligacao>{{12, 120, kCaptura, 101}, {12, 121, kCaptura, 102}}));
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, {}).size(), 6u);
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, {"A"}).size(), 6u);  // case-sensitive
}

TEST(Ligacoes, MonoEspalhaECanaisEstranhosPorIndice) {
  Cena c;
  c.tocador(1, 11, "mono", {"MONO"});
  c.tocador(2, 12, "surround", {"FL", "FR", "FC", "LFE"});
  const std::vector<Ligacao> l = ligacoesDesejadas(c.g, kCaptura, {});
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
  EXPECT_EQ(ligacoesDesejadas(c.g, kCaptura, {}),
            (std::vector<Ligacao>{{11, 110, kCaptura, 101}, {11, 111, kCaptura, 101}}));
}

TEST(Ligacoes, IdentidadeAindaDesconhecidaNaoLiga) {
  Cena c;
  c.tocador(1, 11, "a", {"FL", "FR"}, false);
  EXPECT_TRUE(ligacoesDesejadas(c.g, kCaptura, {"a"}).empty());
  c.g.nos.back().completo = true;
  c.g.clientes.back().completo = false;
  EXPECT_TRUE(ligacoesDesejadas(c.g, kCaptura, {"a"}).empty());
}

TEST(Ligacoes, MonitoresESemEntradas) {
  Cena c;
  c.tocador(1, 11, "a", {"FL"});
  c.g.portas.back().monitor = true;
  EXPECT_TRUE(ligacoesDesejadas(c.g, kCaptura, {}).empty());
  Cena semPortas;
  semPortas.g.portas.clear();
  semPortas.tocador(1, 11, "a", {"FL"});
  EXPECT_TRUE(ligacoesDesejadas(semPortas.g, kCaptura, {}).empty());
}

TEST(Ligacoes, MonitorDoSinkPadrao) {
  Cena c;
  for (uint32_t sink : {200u, 300u}) {
    c.g.nos.push_back({sink, {{"media.class", "Audio/Sink"}, {"node.name", "sink" + std::to_string(sink)}}, true});
    c.g.portas.push_back({sink + 1, sink, false, false, "FL", 0});  // playback side: never linked
    c.g.portas.push_back({sink + 2, sink, true, true, "FL", 0});
    c.g.portas.push_back({sink + 3, sink, true, true, "FR", 1});
  }
  EXPECT_EQ(ligacoesDoMonitor(c.g, kCaptura), (std::vector<Ligacao>{{200, 202, kCaptura, 101}, {200, 203, kCaptura, 102}}));
  c.g.sinkPadrao = "sink300";
  EXPECT_EQ(ligacoesDoMonitor(c.g, kCaptura), (std::vector<Ligacao>{{300, 302, kCaptura, 101}, {300, 303, kCaptura, 102}}));
  Cena semSink;
  EXPECT_TRUE(ligacoesDoMonitor(semSink.g, kCaptura).empty());
}

}  // namespace
}  // namespace escuta
