#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "escuta/linux/telas/telas.h"

namespace escuta {

namespace {

std::vector<Tela> saidasConectadas(Display* d) {
  std::vector<Tela> telas;
  int evento, erro;
  if (!XRRQueryExtension(d, &evento, &erro)) return telas;
  XRRScreenResources* recursos = XRRGetScreenResourcesCurrent(d, DefaultRootWindow(d));
  if (!recursos) return telas;
  for (int k = 0; k < recursos->noutput; ++k) {
    XRROutputInfo* saida = XRRGetOutputInfo(d, recursos, recursos->outputs[k]);
    if (!saida) continue;
    if (saida->connection == RR_Connected && saida->crtc) {
      if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, recursos, saida->crtc)) {
        telas.push_back({static_cast<uint32_t>(recursos->outputs[k]), crtc->width, crtc->height});
        XRRFreeCrtcInfo(crtc);
      }
    }
    XRRFreeOutputInfo(saida);
  }
  XRRFreeScreenResources(recursos);
  return telas;
}

}  // namespace

std::optional<std::vector<Tela>> telasX11() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return std::nullopt;
  std::vector<Tela> telas = saidasConectadas(d);
  // A server without RandR outputs still has its screen.
  if (telas.empty())
    telas.push_back({static_cast<uint32_t>(RootWindow(d, DefaultScreen(d))), DisplayWidth(d, DefaultScreen(d)),
                     DisplayHeight(d, DefaultScreen(d))});
  XCloseDisplay(d);
  return telas;
}

std::vector<Tela> telasDoSistema() {
  if (std::optional<std::vector<Tela>> x = telasX11()) return *x;
  return telasDrm("/sys/class/drm");
}

}  // namespace escuta
