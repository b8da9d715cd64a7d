#pragma once
// A Wayland compositor's toplevel windows, where it lists them to its
// clients (wlroots' foreign-toplevel list: sway, labwc, Wayfire, Hyprland…);
// none where it does not (GNOME, KDE). The protocol names no process: sway's
// IPC does, where it answers; elsewhere the pid is 0.
#include <wayland-client.h>

#include <string>
#include <vector>

#include "escuta/linux/aplicativos/fontes.h"
#include "escuta/linux/janelas/wayland/sway.h"

namespace escuta {

// A toplevel as the compositor lists it.
struct JanelaDoCompositor {
  std::string appId;
  std::string titulo;
};

std::vector<Janela> janelasWayland(wl_display* exibicao);

// Each toplevel with the process of sway's view of it: the first not yet
// taken with the same app_id (an XWayland view's: its class) and title, else
// with the same app_id. An XWayland view's app_id is its class, no id it
// declared.
std::vector<Janela> comProcessos(const std::vector<JanelaDoCompositor>& janelas, const std::vector<VistaDoSway>& vistas);

}  // namespace escuta
