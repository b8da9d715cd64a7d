#include "escuta/linux/sessao/conexao_wayland.h"

#include <poll.h>

#include <cerrno>
#include <cstdlib>

#include "escuta/linux/insistir.h"

namespace escuta {

std::unique_ptr<ConexaoWayland> ConexaoWayland::abrir() {
  if (!std::getenv("WAYLAND_DISPLAY")) return nullptr;
  std::optional<wl_display*> d = insistir(kPrazoDeRecusas, []() -> std::optional<wl_display*> {
    if (wl_display* d = wl_display_connect(nullptr)) return d;
    // A socket that is not there is no compositor; one that refuses is busy.
    if (errno == ECONNREFUSED || errno == EAGAIN) return std::nullopt;
    return static_cast<wl_display*>(nullptr);
  });
  return d && *d ? std::unique_ptr<ConexaoWayland>(new ConexaoWayland(*d)) : nullptr;
}

bool idaEVolta(wl_display* d, std::chrono::milliseconds prazo) {
  const auto fim = std::chrono::steady_clock::now() + prazo;
  bool feito = false;
  static const wl_callback_listener ouvinte = {
      [](void* dados, wl_callback*, uint32_t) { *static_cast<bool*>(dados) = true; }};
  wl_callback* volta = wl_display_sync(d);
  if (!volta) return false;
  wl_callback_add_listener(volta, &ouvinte, &feito);
  while (!feito) {
    if (wl_display_dispatch_pending(d) < 0) break;
    if (feito) break;
    if (wl_display_prepare_read(d) != 0) continue;  // events came meanwhile: dispatch them first
    wl_display_flush(d);
    const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(fim - std::chrono::steady_clock::now());
    pollfd p{wl_display_get_fd(d), POLLIN, 0};
    const int r = resta.count() > 0 ? poll(&p, 1, static_cast<int>(resta.count())) : 0;
    if (r <= 0) {
      wl_display_cancel_read(d);
      if (r < 0 && errno == EINTR) continue;
      break;
    }
    if (wl_display_read_events(d) < 0) break;
  }
  wl_callback_destroy(volta);
  return feito;
}

}  // namespace escuta
