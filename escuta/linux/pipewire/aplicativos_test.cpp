#include "escuta/linux/pipewire/aplicativos.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>

namespace escuta {
namespace {

ClienteDoGrafo cliente(uint32_t id, Propriedades p) { return {id, std::move(p), true}; }
NoDoGrafo no(uint32_t id, Propriedades p) { return {id, std::move(p), true}; }

auto campos(const ClienteDeSom& c) { return std::make_tuple(c.pid, c.id, c.flatpak, c.binario, c.nome); }

TEST(ClientesPipeWire, ComoCadaProgramaSeDescreve) {
  Grafo g;
  g.clientes = {
      cliente(10, {{"application.id", "org.a"}, {"pipewire.access.portal.app_id", "org.flatpak"},
                   {"application.process.binary", "a"}, {"application.name", "A"}, {"application.process.id", "77"}}),
      cliente(11, {{"application.process.binary", "ffplay"}, {"application.process.id", "500"}}),
      cliente(12, {{"application.process.binary", "ffplay"}, {"application.process.id", "500"},
                   {"application.name", "SDL Application"}}),  // the same program's second connection
      cliente(13, {}),
  };
  const std::vector<ClienteDeSom> c = clientesDe(g, 1);
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(campos(c[0]), std::make_tuple(77, "org.a", "org.flatpak", "a", "A"));
  EXPECT_EQ(campos(c[2]), std::make_tuple(500, "", "", "ffplay", "SDL Application"));
  EXPECT_EQ(campos(c[3]), std::make_tuple(0, "", "", "", ""));
}

TEST(ClientesPipeWire, OServidorEstaListagemEQuemAindaConectaFicamDeFora) {
  Grafo g;
  g.clientes = {cliente(1, {{"application.name", "pipewire"}, {"application.process.binary", "pipewire"}}),
                cliente(2, {{"application.name", "pipewire-pulse"}, {"application.process.binary", "pipewire"}}),
                cliente(3, {{"application.name", "WirePlumber [export]"}, {"application.process.binary", "wireplumber"}}),
                cliente(4, {{"application.name", "WirePlumber"}, {"wireplumber.daemon", "true"}}),
                cliente(5, {{"application.name", "escuta"}, {"pipewire.sec.pid", "4242"}}),
                cliente(6, {{"application.name", "outro escuta"}, {"pipewire.sec.pid", "4243"}}),
                // Only the registry's few keys so far: its own info has not come.
                {7, {{"application.name", "escuta"}, {"pipewire.sec.pid", "4244"}}, false}};
  // Through pipewire-pulse: this process's own PulseAudio connection, and a
  // program outside a sandbox that reports the same pid.
  const std::string eu = std::to_string(getpid());
  const std::string meuBinario = std::filesystem::read_symlink("/proc/self/exe").filename();
  g.clientes.push_back(cliente(8, {{"application.process.id", eu}, {"application.process.binary", meuBinario},
                                   {"pipewire.sec.pid", "300"}}));
  g.clientes.push_back(cliente(9, {{"application.process.id", eu}, {"application.process.binary", "firefox"},
                                   {"pipewire.sec.pid", "300"}}));
  const std::vector<ClienteDeSom> c = clientesDe(g, 4242);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].nome, "outro escuta");
  EXPECT_EQ(c[1].binario, "firefox");
}

// pw-play -P puts the id and name on its stream, not on its client; a
// client's own id wins over its stream's.
TEST(ClientesPipeWire, FluxoFalaPeloClienteSemId) {
  Grafo g;
  g.clientes = {cliente(5, {{"application.name", "pw-play"}, {"application.process.binary", "pw-play"},
                            {"application.process.id", "900"}}),
                cliente(6, {{"application.id", "org.firefox"}})};
  g.nos = {no(7, {{"client.id", "5"}, {"application.id", "org.radio"}, {"application.name", "Rádio"}}),
           no(8, {{"client.id", "6"}, {"application.id", "outro"}}), no(9, {})};
  EXPECT_EQ(campos(clientesDe(g, 1)[0]), std::make_tuple(900, "org.radio", "", "pw-play", "Rádio"));
  EXPECT_EQ(clienteDoNo(g, g.nos[0]).id, "org.radio");
  EXPECT_EQ(clienteDoNo(g, g.nos[1]).id, "org.firefox");
  EXPECT_EQ(clienteDoNo(g, g.nos[2]).id, "");
}

TEST(ClientesPipeWire, SoReproducaoDeAplicativos) {
  EXPECT_TRUE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Stream/Output/Audio"}})));
  EXPECT_FALSE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Stream/Input/Audio"}})));
  EXPECT_FALSE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Audio/Sink"}})));
  EXPECT_FALSE(ehReproducaoDeAplicativo(no(1, {{"media.class", "Stream/Output/Audio"}, {"node.link-group", "eq"}})));
}

}  // namespace
}  // namespace escuta
