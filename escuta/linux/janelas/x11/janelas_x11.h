#pragma once
// The X server's client windows, as an EWMH window manager lists them
// (_NET_CLIENT_LIST on the root window; none without such a manager): on an
// X11 desktop, and the XWayland clients of a Wayland one.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "escuta/linux/aplicativos/fontes.h"
#include "escuta/linux/sessao/conexao_x11.h"

namespace escuta {

std::vector<Janela> janelasX11(const ConexaoX11& x);

// What tells a window's process.
struct PidsDaJanela {
  std::optional<int32_t> doServidor;   // the X server's, from its client's socket (X-Resource)
  std::optional<uint32_t> declarado;   // the one it declares (_NET_WM_PID)
  std::optional<std::string> maquina;  // where it says it runs (WM_CLIENT_MACHINE)
};

// What X-Resource said of escuta's own connection.
struct VistaDoServidor {
  bool respondeu = false;             // X-Resource answered
  std::optional<int32_t> nossoPid;    // the pid it sees for escuta
};

// The server's pid, when the server sees escuta under escuta's own pid (the
// same pid namespace); else the declared one, for a window of this machine
// (without WM_CLIENT_MACHINE, taken as local) when the server is not known
// to be in another namespace; else 0.
int32_t pidDaJanela(const PidsDaJanela& janela, const VistaDoServidor& servidor, int32_t nossoPid,
                    const std::string& nossaMaquina);

}  // namespace escuta
