#pragma once
// escuta's platform on Linux: the desktop's sound server (the first of
// servidores.h that answers, chosen once per run) for sound and
// applications, X11 RandR (or the kernel's connectors) for displays.
#include <optional>

#include "escuta/linux/servidor_de_som.h"
#include "escuta/plataforma.h"

namespace escuta {

class PlataformaLinux : public Plataforma {
 public:
  // Answers on the calling thread: a few seconds at most when no server answers.
  void pedirConteudo(bool excluirAreaDeTrabalho, bool soNaTela,
                     std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) override;
  std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override;
  std::unique_ptr<FilaSerial> criarFila(const std::string& rotulo) override;

 private:
  // The server the listing, the exclusion and the capture all use.
  Resultado<ServidorDeSom*> servidor();

  std::optional<Resultado<std::unique_ptr<ServidorDeSom>>> escolha_;
};

}  // namespace escuta
