#pragma once
// wlroots' foreign-toplevel management protocol
// (zwlr_foreign_toplevel_management_unstable_v1, version 3) for libwayland:
// Debian ships no description of it to make code from, so its interfaces
// are written here from the protocol's messages. A client lists every
// toplevel window: its title, its app_id, its state.
#include <wayland-client.h>

#include <cstdint>

namespace escuta {

extern const wl_interface zwlr_foreign_toplevel_manager_v1_interface;
extern const wl_interface zwlr_foreign_toplevel_handle_v1_interface;

// The manager's events, in the protocol's order.
struct OuvinteDoGerenteWlr {
  void (*toplevel)(void* dados, wl_proxy* gerente, wl_proxy* janela);  // a new handle, ours to destroy
  void (*finished)(void* dados, wl_proxy* gerente);
};

// A toplevel handle's events, in the protocol's order.
struct OuvinteDaJanelaWlr {
  void (*title)(void* dados, wl_proxy* janela, const char* titulo);
  void (*app_id)(void* dados, wl_proxy* janela, const char* id);
  void (*output_enter)(void* dados, wl_proxy* janela, wl_proxy* saida);
  void (*output_leave)(void* dados, wl_proxy* janela, wl_proxy* saida);
  void (*state)(void* dados, wl_proxy* janela, wl_array* estado);
  void (*done)(void* dados, wl_proxy* janela);
  void (*closed)(void* dados, wl_proxy* janela);
  void (*parent)(void* dados, wl_proxy* janela, wl_proxy* pai);  // since version 3
};

// Request opcodes.
inline constexpr uint32_t kPararGerenteWlr = 0;     // manager: stop
inline constexpr uint32_t kDestruirJanelaWlr = 7;   // handle: destroy

}  // namespace escuta
