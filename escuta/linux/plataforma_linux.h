#pragma once
// escuta's platform on Linux: PipeWire for sound and applications, X11
// RandR (or the kernel's connectors) for displays.
#include "escuta/plataforma.h"

namespace escuta {

class PlataformaLinux : public Plataforma {
 public:
  // Answers on the calling thread: a few seconds at most when the daemon is unreachable.
  void pedirConteudo(bool excluirAreaDeTrabalho, bool soNaTela,
                     std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) override;
  std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override;
  std::unique_ptr<FilaSerial> criarFila(const std::string& rotulo) override;
};

}  // namespace escuta
