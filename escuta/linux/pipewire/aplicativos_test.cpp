#include "escuta/linux/pipewire/aplicativos.h"

#include <gtest/gtest.h>

namespace escuta {
namespace {

ClienteDoGrafo cliente(uint32_t id, Propriedades p) { return {id, std::move(p), true}; }
NoDoGrafo no(uint32_t id, Propriedades p) { return {id, std::move(p), true}; }

TEST(Aplicativos, IdentidadeEmOrdemDePreferencia) {
  Grafo g;
  g.clientes = {
      cliente(10, {{"application.id", "org.a"}, {"pipewire.access.portal.app_id", "org.flatpak"},
                   {"application.process.binary", "a"}, {"application.name", "A"}, {"application.process.id", "77"}}),
      cliente(11, {{"pipewire.access.portal.app_id", "org.flatpak.B"}, {"application.process.binary", "b"}}),
      cliente(12, {{"application.process.binary", "c"}, {"application.name", "C"}}),
      cliente(13, {}),
  };
  const std::vector<Aplicativo> a = aplicativosDe(g, 1);
  ASSERT_EQ(a.size(), 4u);
  EXPECT_EQ(a[0].id, "org.a");
  EXPECT_EQ(a[0].nome, "A");
  EXPECT_EQ(a[0].pid, 77);
  EXPECT_EQ(a[1].id, "org.flatpak.B");
  EXPECT_EQ(a[2].id, "c");
  EXPECT_EQ(a[3].id, "");
  EXPECT_EQ(a[3].pid, 0);
}

TEST(Aplicativos, UmPorProcessoNaOrdemEmQueApareceu) {
  Grafo g;
  g.clientes = {cliente(1, {{"application.process.binary", "ffplay"}, {"application.process.id", "500"}}),
                cliente(2, {{"application.process.binary", "paplay"}, {"application.process.id", "501"},
                            {"application.name", "Rádio"}}),
                cliente(3, {{"application.process.binary", "ffplay"}, {"application.process.id", "500"},
                            {"application.name", "SDL Application"}}),
                cliente(4, {{"application.process.binary", "sem-pid"}}),
                cliente(5, {{"application.process.binary", "sem-pid"}})};
  const std::vector<Aplicativo> a = aplicativosDe(g, 1);
  ASSERT_EQ(a.size(), 4u);
  EXPECT_EQ((std::vector<std::string>{a[0].id, a[0].nome}), (std::vector<std::string>{"ffplay", "SDL Application"}));
  EXPECT_EQ(a[0].pid, 500);
  EXPECT_EQ(a[1].nome, "Rádio");
  EXPECT_EQ(a[2].id, "sem-pid");  // no pid: nothing to tell two processes apart
  EXPECT_EQ(a[3].id, "sem-pid");
}

TEST(Aplicativos, OServidorDeSomNaoEAplicativo) {
  Grafo g;
  g.clientes = {cliente(1, {{"application.name", "pipewire"}, {"application.process.binary", "pipewire"}}),
                cliente(2, {{"application.name", "pipewire-pulse"}, {"application.process.binary", "pipewire"}}),
                cliente(3, {{"application.name", "WirePlumber [export]"}, {"application.process.binary", "wireplumber"}}),
                cliente(4, {{"application.name", "mpv"}, {"application.process.binary", "mpv"}})};
  const std::vector<Aplicativo> a = aplicativosDe(g, 1);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].id, "mpv");
}

TEST(Aplicativos, GerenciadorEstaListagemEQuemAindaConectaFicamDeFora) {
  Grafo g;
  g.clientes = {cliente(1, {{"application.name", "WirePlumber"}, {"wireplumber.daemon", "true"}}),
                cliente(2, {{"application.name", "escuta"}, {"pipewire.sec.pid", "4242"}}),
                cliente(3, {{"application.name", "outro escuta"}, {"pipewire.sec.pid", "4243"}}),
                // Only the registry's few keys so far: its own info has not come.
                {4, {{"application.name", "escuta"}, {"pipewire.sec.pid", "4244"}}, false}};
  const std::vector<Aplicativo> a = aplicativosDe(g, 4242);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].nome, "outro escuta");
}

// pw-play -P puts the id and name on its stream, not on its client.
TEST(Aplicativos, FluxoFalaPeloClienteSemId) {
  Grafo g;
  g.clientes = {cliente(5, {{"application.name", "pw-play"}, {"application.process.binary", "pw-play"},
                            {"application.process.id", "900"}})};
  g.nos = {no(6, {{"client.id", "5"}, {"media.class", "Stream/Output/Audio"},
                  {"application.id", "org.radio"}, {"application.name", "Rádio"}})};
  const std::vector<Aplicativo> a = aplicativosDe(g, 1);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].id, "org.radio");
  EXPECT_EQ(a[0].nome, "Rádio");
  EXPECT_EQ(a[0].pid, 900);
  EXPECT_EQ(identidadeDoNo(g, g.nos[0]), "org.radio");
}

TEST(Aplicativos, FluxoHerdaOIdDoCliente) {
  Grafo g;
  g.clientes = {cliente(5, {{"application.id", "org.firefox"}})};
  g.nos = {no(6, {{"client.id", "5"}, {"application.id", "outro"}}), no(7, {})};
  EXPECT_EQ(identidadeDoNo(g, g.nos[0]), "org.firefox");  // the client's own id wins
  EXPECT_EQ(identidadeDoNo(g, g.nos[1]), "");
}

TEST(Aplicativos, SoReproducaoDeAplicativos) {
  EXPECT_TRUE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Stream/Output/Audio"}})));
  EXPECT_FALSE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Stream/Input/Audio"}})));
  EXPECT_FALSE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Audio/Sink"}})));
  EXPECT_FALSE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Stream/Output/Audio"}, {"node.link-group", "eq"}})));
}

}  // namespace
}  // namespace escuta
