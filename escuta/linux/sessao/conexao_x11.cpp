#include "escuta/linux/sessao/conexao_x11.h"

#include <cstdlib>

#include "escuta/linux/insistir.h"
#include "escuta/linux/sem_sigpipe.h"

namespace escuta {

std::unique_ptr<ConexaoX11> ConexaoX11::abrir() {
  if (!std::getenv("DISPLAY")) return nullptr;
  // A server that hangs up during the setup must not end the process.
  const SemSigpipe semSigpipe;
  std::optional<std::unique_ptr<ConexaoX11>> c =
      insistir(kPrazoDeRecusas, []() -> std::optional<std::unique_ptr<ConexaoX11>> {
        int numero = 0;
        xcb_connection_t* x = xcb_connect(nullptr, &numero);
        if (xcb_connection_has_error(x)) {
          xcb_disconnect(x);
          return std::nullopt;
        }
        xcb_screen_iterator_t telas = xcb_setup_roots_iterator(xcb_get_setup(x));
        for (int k = 0; k < numero && telas.rem; ++k) xcb_screen_next(&telas);
        if (!telas.rem) {
          xcb_disconnect(x);
          return std::unique_ptr<ConexaoX11>();
        }
        return std::unique_ptr<ConexaoX11>(new ConexaoX11(x, telas.data));
      });
  return c ? std::move(*c) : nullptr;
}

}  // namespace escuta
