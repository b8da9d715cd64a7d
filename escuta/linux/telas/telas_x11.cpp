#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>

#include "escuta/linux/insistir.h"
#include "escuta/linux/sem_sigpipe.h"
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

// An X server busy with a burst of clients refuses some for a moment: try
// again for about 2 s before deciding there is none.
Display* conectar() {
  const std::optional<Display*> d = insistir(kPrazoDeRecusas, []() -> std::optional<Display*> {
    if (Display* d = XOpenDisplay(nullptr)) return d;
    return std::nullopt;
  });
  return d.value_or(nullptr);
}

}  // namespace

std::optional<std::vector<Tela>> telasX11() {
  const SemSigpipe semSigpipe;
  Display* d = conectar();
  if (!d) return std::nullopt;
  std::vector<Tela> telas = saidasConectadas(d);
  // A server without RandR outputs still has its screen.
  if (telas.empty())
    telas.push_back({static_cast<uint32_t>(RootWindow(d, DefaultScreen(d))), DisplayWidth(d, DefaultScreen(d)),
                     DisplayHeight(d, DefaultScreen(d))});
  XCloseDisplay(d);
  return telas;
}

// The kernel's connectors are for machines with no X server configured (a
// Wayland-only desktop), or whose X server never answered.
std::vector<Tela> telasDoSistema() {
  if (std::getenv("DISPLAY"))
    if (std::optional<std::vector<Tela>> x = telasX11()) return *x;
  return telasDrm("/sys/class/drm");
}

}  // namespace escuta
