#pragma once
// The attached displays, from whichever display server shows them: a Wayland
// compositor's outputs, the X server's RandR outputs, or else the connectors
// the kernel lists as connected. Ids stay the same between runs on the same
// machine and session.
#include <wayland-client.h>

#include <string>
#include <vector>

#include "escuta/linux/sessao/conexao_x11.h"
#include "escuta/plataforma.h"

namespace escuta {

// The compositor's outputs in the order it announced them, each at its
// logical size (its mode, scaled and turned as the session shows it); the
// id hashes the output's name.
std::vector<Tela> telasWayland(wl_display* exibicao);

// The connected RandR outputs that show something, at their current mode;
// the screen itself when RandR lists none.
std::vector<Tela> telasX11(const ConexaoX11& x);

// Connected connectors under `raiz` (normally /sys/class/drm), by name,
// sized by their preferred (first) mode; the id hashes the connector name.
std::vector<Tela> telasDrm(const std::string& raiz);

// A display's id made from its name: the same name, the same id.
uint32_t idDoNome(const std::string& nome);

}  // namespace escuta
