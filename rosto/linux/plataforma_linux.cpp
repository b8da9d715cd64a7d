#include "rosto/linux/plataforma_linux.h"

#include "rosto/linux/detector/detector_mediapipe.h"
#include "rosto/linux/video/video_ffmpeg.h"

namespace rosto {

std::unique_ptr<Ativo> PlataformaLinux::abrirAtivo(const std::string& caminho) {
  return abrirAtivoFFmpeg(caminho);
}

Resultado<std::unique_ptr<PedidoDeRostos>> PlataformaLinux::criarPedido() {
  return criarPedidoMediaPipe(diretorioDosModelos_);
}

}  // namespace rosto
