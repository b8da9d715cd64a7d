#include "escuta/linux/pulseaudio/aplicativos_pulse.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <tuple>

namespace escuta {
namespace {

// This very process, as the listing is: its pid, running its binary.
const int32_t kEu = getpid();
const std::string kMeuBinario = std::filesystem::read_symlink("/proc/self/exe").filename();

ClientePulse programa(uint32_t indice, const std::string& binario, int pid, Propriedades mais = {}) {
  Propriedades p{{"application.process.binary", binario}, {"application.process.id", std::to_string(pid)},
                 {"application.name", binario}, {"native-protocol.peer", "UNIX socket client"}};
  for (auto& [k, v] : mais) p[k] = v;
  return {indice, "protocol-native.c", p};
}

EntradaPulse entrada(uint32_t indice, uint32_t cliente, Propriedades props = {}) {
  return {indice, cliente, 0, false, std::move(props)};
}

auto campos(const ClienteDeSom& c) { return std::make_tuple(c.pid, c.id, c.binario, c.nome); }

TEST(ClientesPulse, SoProgramasQueJaDisseramQuemSao) {
  const std::vector<ClientePulse> clientes = {
      {1, "module-systemd-login.c", {{"application.name", "Login Session 2"}}},  // the server's own
      programa(2, "mpv", 100, {{"application.id", "io.mpv.Mpv"}, {"application.name", "mpv Media Player"}}),
      programa(3, "ffplay", 101, {{"application.name", ""}}),  // SDL's second connection
      {4, "protocol-native.c",  // still connecting: the server's placeholder name
       {{"application.name", "Native client (UNIX socket client)"}, {"native-protocol.peer", "UNIX socket client"}}},
      programa(5, kMeuBinario, kEu),
      programa(8, "firefox", kEu),  // outside this sandbox, with the same pid as this process inside it
      programa(6, "paplay", 102),
      programa(7, "pulseaudio", 300),  // the daemon talking to itself
  };
  // paplay's stream names the application the client did not.
  const std::vector<EntradaPulse> entradas = {
      entrada(50, 6, {{"application.id", "org.exemplo.Radio"}, {"application.name", "Rádio"}})};
  const std::vector<ClienteDeSom> c = clientesDoPulse(clientes, entradas, kEu);
  const std::vector<std::tuple<int32_t, std::string, std::string, std::string>> esperados = {
      {100, "io.mpv.Mpv", "mpv", "mpv Media Player"}, {101, "", "ffplay", ""}, {kEu, "", "firefox", "firefox"},
      {102, "org.exemplo.Radio", "paplay", "Rádio"}};
  ASSERT_EQ(c.size(), esperados.size());
  for (size_t k = 0; k < c.size(); ++k) EXPECT_EQ(campos(c[k]), esperados[k]) << k;
}

TEST(ClientesPulse, QuemTocaCadaFluxo) {
  const std::vector<ClientePulse> clientes = {programa(2, "mpv", 100, {{"application.id", "io.mpv.Mpv"}}),
                                              programa(3, "pw-play", 101)};
  // The client's own id wins; a stream speaks for a client without one, and
  // for itself when its client is not known (yet).
  EXPECT_EQ(clienteDaEntrada(entrada(60, 2, {{"application.id", "outro"}}), clientes).id, "io.mpv.Mpv");
  EXPECT_EQ(clienteDaEntrada(entrada(61, 3, {{"application.id", "org.radio"}}), clientes).id, "org.radio");
  EXPECT_EQ(campos(clienteDaEntrada(entrada(62, 9, {{"application.process.binary", "aplay"},
                                                    {"application.process.id", "77"}}), clientes)),
            std::make_tuple(77, "", "aplay", ""));
  EXPECT_TRUE(ehDePrograma(entrada(63, 2)));
  EXPECT_FALSE(ehDePrograma(entrada(64, UINT32_MAX)));  // a loopback's
}

}  // namespace
}  // namespace escuta
