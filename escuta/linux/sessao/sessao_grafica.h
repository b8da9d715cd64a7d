#pragma once
// The display servers a session shows its displays and windows through: a
// Wayland compositor, an X server, or both (XWayland).
#include <memory>
#include <vector>

#include "escuta/linux/aplicativos/arvore.h"
#include "escuta/linux/aplicativos/fontes.h"
#include "escuta/linux/sessao/conexao_wayland.h"
#include "escuta/linux/sessao/conexao_x11.h"
#include "escuta/plataforma.h"

namespace escuta {

class SessaoGrafica {
 public:
  // Wayland where $WAYLAND_DISPLAY's compositor answers. X where $DISPLAY's
  // server answers, but in a Wayland session only when an XWayland already
  // runs: GNOME's compositor starts one for any client that connects.
  explicit SessaoGrafica(Arvore& arvore);

  // The compositor's outputs; else X's; else, with neither, the kernel's connectors.
  std::vector<Tela> telas() const;
  // The compositor's toplevels, then X's windows.
  std::vector<Janela> janelas() const;

 private:
  std::unique_ptr<ConexaoWayland> wayland_;
  std::unique_ptr<ConexaoX11> x11_;
};

}  // namespace escuta
