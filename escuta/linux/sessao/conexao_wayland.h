#pragma once
// A connection to the Wayland compositor of $WAYLAND_DISPLAY.
#include <wayland-client.h>

#include <chrono>
#include <memory>

namespace escuta {

class ConexaoWayland {
 public:
  // Absent without $WAYLAND_DISPLAY (libwayland would try wayland-0 then,
  // whichever session that is), or when no compositor takes the connection;
  // one that refuses is tried again for about 2 s.
  static std::unique_ptr<ConexaoWayland> abrir();
  ~ConexaoWayland() { wl_display_disconnect(exibicao_); }
  ConexaoWayland(const ConexaoWayland&) = delete;
  ConexaoWayland& operator=(const ConexaoWayland&) = delete;

  wl_display* exibicao() const { return exibicao_; }

 private:
  explicit ConexaoWayland(wl_display* exibicao) : exibicao_(exibicao) {}
  wl_display* exibicao_;
};

// Sends what was asked and dispatches events until the compositor has
// answered all of it; false when it has not within `prazo`, or the
// connection failed. A compositor that hangs never holds up escuta.
bool idaEVolta(wl_display* exibicao, std::chrono::milliseconds prazo = std::chrono::seconds(3));

}  // namespace escuta
