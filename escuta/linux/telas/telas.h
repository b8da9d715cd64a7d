#pragma once
// The attached displays: from the X server's RandR outputs when one answers,
// otherwise from the connectors the kernel lists as connected (a Wayland-only
// desktop). Ids stay the same between runs on the same machine and session.
#include <optional>
#include <string>
#include <vector>

#include "escuta/plataforma.h"

namespace escuta {

std::vector<Tela> telasDoSistema();

// Absent when no X server answers.
std::optional<std::vector<Tela>> telasX11();

// Connected connectors under `raiz` (normally /sys/class/drm), by name,
// sized by their preferred (first) mode; the id hashes the connector name.
std::vector<Tela> telasDrm(const std::string& raiz);

}  // namespace escuta
