#pragma once
// The bytes of one sample's record line.
#include <string>
#include <vector>

#include "rosto/plataforma.h"

namespace rosto {

// Width times height of the box's standardized form: the only ordering key.
double areaDe(const Rosto& rosto);

// Index of the largest face; the first in detection order wins a tie.
// `rostos` must not be empty.
size_t indiceDoPrincipal(const std::vector<Rosto>& rostos);

// The faces largest first (stable: ties keep detection order), at most six.
std::vector<Rosto> listaDeRostos(const std::vector<Rosto>& rostos);

// "{\"t\":…" with, when there are faces, the primary face, n and rostos; then "}".
std::string registroDaAmostra(double t, const ListaDeRostos& rostos);

}  // namespace rosto
