#pragma once
// Face detection with MediaPipe's BlazeFace on OpenCV's DNN module.
#include <memory>
#include <string>

#include "rosto/plataforma.h"

namespace rosto {

struct AjustesBlazeFace {
  // Threads that run the networks; 0: one per CPU this process may use.
  // At most 4. Results do not depend on it.
  int trabalhadores = 0;
  // The front model's score that confirms a small face on a closer look.
  float confirmacao = 0.75f;
};

// Loads the two BlazeFace models from `diretorio`; fails when one is missing
// or unreadable.
Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoBlazeFace(const std::string& diretorio,
                                                                const AjustesBlazeFace& ajustes = {});

// Where the models live, next to the executable: <prefix>/share/rosto.
std::string diretorioDosModelosInstalados();

}  // namespace rosto
