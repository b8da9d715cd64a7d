#pragma once
// What names an application, for the listing and for exclusion alike,
// whichever sources saw it.
#include <chrono>
#include <cstdint>
#include <string>

#include "escuta/linux/aplicativos/arvore.h"
#include "escuta/linux/aplicativos/fontes.h"

namespace escuta {

struct Indicios {
  // It has a window or an app unit: what it declares to the desktop names it,
  // and its sound never does, so its id stays the same whether it plays or not.
  bool naTela = false;
  std::string unidade;   // its app unit's desktop id
  std::string daJanela;  // the id its window declares
  std::string doSom;     // its sound client's application.id
  std::string flatpak;
  std::string binario;
  std::string classe;     // a window's class, for one whose process is unknown
};

// The first of: the app unit's desktop id, the window's id, the sound's
// application.id (none for an application on screen), the Flatpak id, the
// binary, the window's class in lower case (what the binary is most often
// called: XTerm, Chromium, Firefox-esr, Gtk3-widget-factory); empty when
// there is none.
std::string identidade(const Indicios& indicios);

// A sound client that belongs to no window nor app unit.
Indicios indiciosDoSom(const ClienteDeSom& cliente, const std::string& flatpakDoProcesso);

// The client's pid where /proc shows that process running the binary the
// client named; 0 otherwise (a sandboxed program reports the pid it has
// inside its sandbox, which here is another process or none).
int32_t pidConfiavel(const ClienteDeSom& cliente, Arvore& arvore);

// A client whose program has just ended is still the server's for a moment;
// listed, it would be a stranger whose pid is no process. A listing waits
// this long for such clients to go (far longer than a server takes to see a
// closed socket). A sandboxed program's pid may be no process here either:
// that client stays, once the wait ends.
inline constexpr std::chrono::milliseconds kPrazoParaSair{500};

// Whether the client names a pid that no process here has (anymore).
bool semProcesso(const ClienteDeSom& cliente, Arvore& arvore);

}  // namespace escuta
