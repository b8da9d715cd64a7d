#pragma once
// sway's own view of its windows, from its IPC (GET_TREE at $SWAYSOCK):
// unlike the Wayland protocols, it tells each window's process.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace escuta {

struct VistaDoSway {
  int32_t pid = 0;
  std::string appId;      // a Wayland client's app_id
  std::string classe;     // an XWayland client's WM_CLASS class
  std::string titulo;
  bool xwayland = false;
};

// The views of a GET_TREE answer, in the tree's order; none when it does not parse.
std::vector<VistaDoSway> vistasDaArvore(std::string_view json);

// sway's views, asked at $SWAYSOCK; none when nothing answers there within a few seconds.
std::vector<VistaDoSway> vistasDoSway();

}  // namespace escuta
