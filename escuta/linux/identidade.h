#pragma once
// What names an application for the listing and for exclusion, whichever
// sound server describes it.
#include <string>
#include <vector>

#include "escuta/linux/propriedades.h"
#include "escuta/plataforma.h"

namespace escuta {

// application.id, else the Flatpak app id a server sets itself, else the
// process binary, else empty.
std::string identidade(const Propriedades& props);

// Adds `a` to `lista`, one entry per process: another connection of a
// process already listed only fills its empty id or name. Without a pid
// (0) an entry stands alone: nothing tells two such processes apart.
void juntarPorProcesso(std::vector<Aplicativo>& lista, const Aplicativo& a);

}  // namespace escuta
