#pragma once
// escuta's platform on Linux: the desktop's sound server (the first of
// servidores.h that answers, chosen once per run) for sound and its
// clients; the session's display servers for displays and windows; the
// systemd app units desktops launch applications in; all merged into one
// listing, which the exclusion then picks from.
#include <optional>

#include "escuta/linux/aplicativos/reuniao.h"
#include "escuta/linux/servidor_de_som.h"
#include "escuta/linux/servidores.h"
#include "escuta/plataforma.h"

namespace escuta {

class PlataformaLinux : public Plataforma {
 public:
  // `diagnosticar`, when given, is told how each sound server asked answered.
  explicit PlataformaLinux(Diagnostico diagnosticar = nullptr) : diagnosticar_(std::move(diagnosticar)) {}
  // Answers on the calling thread: a few seconds at most when no server answers.
  void pedirConteudo(bool excluirAreaDeTrabalho, bool soNaTela,
                     std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) override;
  std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override;
  std::unique_ptr<FilaSerial> criarFila(const std::string& rotulo) override;

 private:
  // The server the listing, the exclusion and the capture all use.
  Resultado<ServidorDeSom*> servidor();

  Diagnostico diagnosticar_;
  std::optional<Resultado<std::unique_ptr<ServidorDeSom>>> escolha_;
  Reuniao listagem_;  // the last content given
};

}  // namespace escuta
