#include "escuta/linux/plataforma_linux.h"

#include <unistd.h>

#include "escuta/linux/aplicativos.h"
#include "escuta/linux/captura_pipewire.h"
#include "escuta/linux/conexao_pipewire.h"
#include "escuta/linux/fila_serial.h"
#include "escuta/linux/telas.h"

namespace escuta {

// Window choices have no meaning here: every display and application is offered.
void PlataformaLinux::pedirConteudo(bool, bool, std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) {
  Resultado<std::unique_ptr<ConexaoPipeWire>> conexao = ConexaoPipeWire::abrir();
  if (!conexao.ok()) return conclusao(conexao.erro());
  ConteudoCompartilhavel conteudo;
  {
    ConexaoPipeWire::Trava trava(*conexao.valor());
    // Bound clients and nodes send their full properties after the first round trip.
    if (!conexao.valor()->sincronizar()) return conclusao(Erro{"o PipeWire não respondeu"});
    conteudo.aplicativos = aplicativosDe(conexao.valor()->grafo(), getpid());
  }
  conexao.valor().reset();
  conteudo.telas = telasDoSistema();
  conclusao(std::move(conteudo));
}

std::unique_ptr<Fluxo> PlataformaLinux::criarFluxo(const FiltroDeConteudo& filtro,
                                                   const ConfiguracaoDoFluxo& configuracao,
                                                   DelegadoDoFluxo& delegado) {
  return criarFluxoPipeWire(filtro, configuracao, delegado);
}

std::unique_ptr<FilaSerial> PlataformaLinux::criarFila(const std::string& rotulo) {
  return std::make_unique<FilaSerialLinux>(rotulo);
}

}  // namespace escuta
