#pragma once
// Face detection with MediaPipe's BlazeFace on OpenCV's DNN module.
#include <memory>
#include <string>

#include "rosto/plataforma.h"

namespace rosto {

// Loads the model at `caminhoDoModelo`; fails when it is missing or unreadable.
Resultado<std::unique_ptr<PedidoDeRostos>> criarPedidoBlazeFace(const std::string& caminhoDoModelo);

// Where the installed model lives, next to the executable: <prefix>/share/rosto/.
std::string caminhoDoModeloInstalado();

}  // namespace rosto
