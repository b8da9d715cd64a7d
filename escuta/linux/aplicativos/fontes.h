#pragma once
// What the listing's sources give: plain records, each source knowing
// nothing of the others; reuniao.h merges them by process.
#include <cstdint>
#include <string>

namespace escuta {

// A top-level window, as its display server shows it.
struct Janela {
  int32_t pid = 0;           // its process, where the display server vouches for it; else 0
  std::string classe;        // its kind as the desktop shows it: WM_CLASS's class, a Wayland app_id
  std::string idDeclarado;   // the application id it declares: _GTK_APPLICATION_ID, a Wayland app_id
  std::string cliente;       // its connection to the display server: tells apart windows without a pid
};

// One connection to the sound server, as the program described itself.
struct ClienteDeSom {
  int32_t pid = 0;      // as the program reported it: see pidConfiavel
  std::string id;       // application.id (its stream's, where the client gives none)
  std::string flatpak;  // the Flatpak app id the server found itself
  std::string binario;  // application.process.binary
  std::string nome;     // application.name
};

// A process running in a systemd app unit, as GNOME and KDE launch applications.
struct MembroDeUnidade {
  int32_t pid = 0;
  std::string unidade;    // the unit's name
  std::string idDesktop;  // the desktop id the unit's name carries
};

}  // namespace escuta
