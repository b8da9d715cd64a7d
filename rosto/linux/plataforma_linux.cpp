#include "rosto/linux/plataforma_linux.h"

#include "rosto/linux/detector_blazeface.h"
#include "rosto/linux/video_ffmpeg.h"

namespace rosto {

std::unique_ptr<Ativo> PlataformaLinux::abrirAtivo(const std::string& caminho) {
  return abrirAtivoFFmpeg(caminho);
}

Resultado<std::unique_ptr<PedidoDeRostos>> PlataformaLinux::criarPedido() {
  return criarPedidoBlazeFace(diretorioDosModelos_);
}

}  // namespace rosto
