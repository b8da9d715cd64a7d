#include "escuta/linux/janelas/x11/janelas_x11.h"

#include <gtest/gtest.h>

namespace escuta {
namespace {

constexpr int32_t kNos = 4000;

TEST(JanelasX11, OProcessoDeCadaJanela) {
  const VistaDoServidor mesmo{true, kNos}, outroEspaco{true, 99}, semXres{false, std::nullopt},
      calado{true, std::nullopt};
  struct Caso {
    PidsDaJanela janela;
    VistaDoServidor servidor;
    int32_t pid;
  } casos[] = {
      {{500, std::nullopt, std::nullopt}, mesmo, 500},    // the server's word (xeyes declares none)
      {{500, 501u, "vm"}, mesmo, 500},                    // over what it declares
      {{500, 500u, "vm"}, outroEspaco, 0},                // escuta in a sandbox: the server's pids are not ours
      {{std::nullopt, 700u, "vm"}, outroEspaco, 0},
      {{std::nullopt, 700u, "vm"}, semXres, 700},         // declared, on this machine
      {{std::nullopt, 700u, std::nullopt}, semXres, 700}, // mpv names no machine
      {{std::nullopt, 700u, "outra"}, semXres, 0},        // another machine's pid
      {{500, 700u, "vm"}, calado, 700},                   // the server did not say who escuta is
      {{std::nullopt, std::nullopt, "vm"}, semXres, 0},
      {{std::nullopt, 0u, std::nullopt}, semXres, 0},
  };
  for (const Caso& c : casos) EXPECT_EQ(pidDaJanela(c.janela, c.servidor, kNos, "vm"), c.pid);
}

}  // namespace
}  // namespace escuta
