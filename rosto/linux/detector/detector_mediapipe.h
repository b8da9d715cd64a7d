#pragma once
// Face detection with MediaPipe's face models on XNNPACK. The full-range
// model looks at the frame in overlapping square tiles; a face it is sure
// of is reported, and each face it only suspects is looked at again,
// enlarged, by the short-range model, which must confirm it.
#include <memory>
#include <string>

#include "rosto/plataforma.h"

namespace rosto {

struct AjustesDoDetector {
  // Threads that run the networks; 0: one per CPU this process may use, at
  // most 4. Results do not depend on it.
  int trabalhadores = 0;
};

// Loads both models from `diretorio` and runs them once on a black frame;
// fails when a file is missing, is not the expected model, or does not run.
Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoMediaPipe(const std::string& diretorio,
                                                                const AjustesDoDetector& ajustes = {});

// Where the models live, next to the executable: <prefix>/share/rosto.
std::string diretorioDosModelosInstalados();

}  // namespace rosto
