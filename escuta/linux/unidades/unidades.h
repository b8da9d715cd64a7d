#pragma once
// systemd app units: GNOME and KDE start every application they launch in
// a unit of its own, named after its desktop id (systemd's "Desktop
// Environment Integration"): app[-<launcher>]-<id>-<random>.scope or
// app[-<launcher>]-<id>[@<random>].service, the id escaped as \xNN where
// unit names allow no such character. A process's unit is read from the
// last field of its /proc/<pid>/cgroup line "0::<path>".
#include <string>
#include <string_view>
#include <vector>

#include "escuta/linux/aplicativos/arvore.h"
#include "escuta/linux/aplicativos/fontes.h"

namespace escuta {

// The desktop id an app unit's name carries, unescaped; empty when the name
// is not an app unit's.
std::string idDaUnidade(std::string_view unidade);

// The app unit a /proc/<pid>/cgroup text places its process in (the deepest,
// should one hold another); empty when none.
std::string unidadeDoCgroup(std::string_view cgroup);

// Every process of user `usuario` that `arvore` sees run in an app unit:
// another user's applications are another desktop's.
std::vector<MembroDeUnidade> membrosDeUnidades(Arvore& arvore, int64_t usuario);

}  // namespace escuta
