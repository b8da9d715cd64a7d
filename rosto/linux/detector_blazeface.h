#pragma once
// Face detection with MediaPipe's BlazeFace on OpenCV's DNN module.
#include <memory>
#include <string>

#include "rosto/plataforma.h"

namespace rosto {

// Loads the two BlazeFace models from `diretorio`; fails when one is missing
// or unreadable.
Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoBlazeFace(const std::string& diretorio);

// Where the models live, next to the executable: <prefix>/share/rosto.
std::string diretorioDosModelosInstalados();

}  // namespace rosto
