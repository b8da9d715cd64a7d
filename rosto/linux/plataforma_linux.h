#pragma once
// rosto's platform on Linux: FFmpeg for video, MediaPipe's face model on XNNPACK for faces.
#include <string>

#include "rosto/plataforma.h"

namespace rosto {

class PlataformaLinux : public Plataforma {
 public:
  explicit PlataformaLinux(std::string diretorioDosModelos) : diretorioDosModelos_(std::move(diretorioDosModelos)) {}
  std::unique_ptr<Ativo> abrirAtivo(const std::string& caminho) override;
  Resultado<std::unique_ptr<PedidoDeRostos>> criarPedido() override;

 private:
  std::string diretorioDosModelos_;
};

}  // namespace rosto
