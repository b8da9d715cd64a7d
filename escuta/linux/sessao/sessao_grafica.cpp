#include "escuta/linux/sessao/sessao_grafica.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "escuta/linux/janelas/wayland/janelas_wayland.h"
#include "escuta/linux/janelas/x11/janelas_x11.h"
#include "escuta/linux/telas/telas.h"

namespace escuta {

namespace {

// The display number of $DISPLAY (":1" of "unix:1.0" or ":1"); empty when none.
std::string numeroDoDisplay() {
  const char* d = std::getenv("DISPLAY");
  if (!d) return {};
  const std::string texto = d;
  const size_t doisPontos = texto.rfind(':');
  if (doisPontos == std::string::npos) return {};
  return texto.substr(doisPontos, texto.find('.', doisPontos) - doisPontos);
}

// An XWayland already serving $DISPLAY: its first argument is the display.
bool xwaylandRoda(Arvore& arvore) {
  const std::string display = numeroDoDisplay();
  if (display.empty()) return false;
  for (int32_t pid : arvore.todos()) {
    if (arvore.comando(pid) != "Xwayland") continue;
    const std::vector<std::string> args = arvore.argumentos(pid);
    if (std::find(args.begin(), args.end(), display) != args.end()) return true;
  }
  return false;
}

}  // namespace

SessaoGrafica::SessaoGrafica(Arvore& arvore) : wayland_(ConexaoWayland::abrir()) {
  if (!wayland_ || xwaylandRoda(arvore)) x11_ = ConexaoX11::abrir();
}

std::vector<Tela> SessaoGrafica::telas() const {
  if (wayland_) return telasWayland(wayland_->exibicao());
  if (x11_) return telasX11(*x11_);
  return telasDrm("/sys/class/drm");
}

std::vector<Janela> SessaoGrafica::janelas() const {
  std::vector<Janela> janelas;
  if (wayland_) janelas = janelasWayland(wayland_->exibicao());
  if (x11_)
    for (Janela& j : janelasX11(*x11_)) janelas.push_back(std::move(j));
  return janelas;
}

}  // namespace escuta
