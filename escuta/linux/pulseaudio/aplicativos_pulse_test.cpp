#include "escuta/linux/pulseaudio/aplicativos_pulse.h"

#include <gtest/gtest.h>

namespace escuta {
namespace {

constexpr int32_t kEu = 4242;

ClientePulse programa(uint32_t indice, const std::string& binario, int pid, Propriedades mais = {}) {
  Propriedades p{{"application.process.binary", binario}, {"application.process.id", std::to_string(pid)},
                 {"application.name", binario}, {"native-protocol.peer", "UNIX socket client"}};
  for (auto& [k, v] : mais) p[k] = v;
  return {indice, "protocol-native.c", p};
}

EntradaPulse entrada(uint32_t indice, uint32_t cliente, Propriedades props = {}) {
  return {indice, cliente, 0, false, std::move(props)};
}

// The processes this test's /proc has: a sandbox's pid 2 runs neither app.
bool confere(int32_t pid, const std::string& binario) {
  return (pid == 100 && binario == "mpv") || (pid == 101 && binario == "ffplay") ||
         (pid == 102 && binario == "paplay") || (pid == kEu && binario == "escuta");
}

std::vector<ClientePulse> desktop() {
  return {
      {1, "module-systemd-login.c", {{"application.name", "Login Session 2"}}},  // the server's own
      programa(2, "mpv", 100, {{"application.id", "io.mpv.Mpv"}, {"application.name", "mpv Media Player"}}),
      programa(3, "ffplay", 101, {{"application.name", "SDL Application"}}),
      programa(4, "ffplay", 101, {{"application.name", ""}}),  // SDL's second connection
      {5, "protocol-native.c",  // still connecting: the server's placeholder name
       {{"application.name", "Native client (UNIX socket client)"}, {"native-protocol.peer", "UNIX socket client"}}},
      programa(6, "escuta", kEu),
      programa(7, "firefox", 2, {{"application.name", "Firefox"}}),  // sandboxed: its pid means nothing here
      programa(8, "spotify", 2, {{"application.name", "Spotify"}}),
      programa(9, "paplay", 102),
      programa(10, "pulseaudio", 300),  // the daemon talking to itself
  };
}

TEST(AplicativosPulse, UmPorProgramaComPidConfiavel) {
  // paplay's stream names the application the client did not.
  const std::vector<EntradaPulse> entradas = {
      entrada(50, 9, {{"application.id", "org.exemplo.Radio"}, {"application.name", "Rádio"}})};
  const std::vector<Aplicativo> a = aplicativosDoPulse(desktop(), entradas, kEu, confere);
  const std::vector<std::tuple<std::string, std::string, int32_t>> esperados = {
      {"io.mpv.Mpv", "mpv Media Player", 100}, {"ffplay", "SDL Application", 101}, {"firefox", "Firefox", 0},
      {"spotify", "Spotify", 0},                {"org.exemplo.Radio", "Rádio", 102}};
  ASSERT_EQ(a.size(), esperados.size());
  for (size_t k = 0; k < a.size(); ++k)
    EXPECT_EQ(std::make_tuple(a[k].id, a[k].nome, a[k].pid), esperados[k]) << k;
}

TEST(AplicativosPulse, QuemEOuvidoComExclusao) {
  const std::vector<ClientePulse> c = desktop();
  const Aplicativo mpv{"io.mpv.Mpv", "mpv Media Player", 100}, firefox{"firefox", "Firefox", 0};
  const Aplicativo ffplayDeOutroNome{"outro-id", "x", 101};
  struct Caso {
    EntradaPulse entrada;
    std::vector<Aplicativo> excluidos;
    bool ouvida;
  } casos[] = {
      {entrada(60, 2), {}, true},
      {entrada(61, UINT32_MAX), {}, false},  // a loopback's stream: its source is heard already
      {entrada(62, 2), {mpv}, false},
      {entrada(63, 2, {{"application.id", "outro"}}), {mpv}, false},  // the client's own id wins
      {entrada(64, 3), {mpv}, true},
      {entrada(65, 4), {ffplayDeOutroNome}, false},  // the same process, by its trusted pid
      {entrada(66, 7), {firefox}, false},
      {entrada(67, 8), {firefox}, true},  // another sandboxed app with the same pid 2
      {entrada(68, 2), {{"IO.MPV.MPV", "", 0}}, true},  // case-sensitive
  };
  for (const Caso& caso : casos)
    EXPECT_EQ(deveSerOuvida(caso.entrada, c, caso.excluidos, confere), caso.ouvida) << caso.entrada.indice;
}

}  // namespace
}  // namespace escuta
