#include "escuta/linux/plataforma_linux.h"

#include "escuta/linux/fila_serial.h"
#include "escuta/linux/servidores.h"
#include "escuta/linux/telas/telas.h"

namespace escuta {

namespace {

// A capture without a server: it says why when asked to start.
class FluxoSemServidor : public Fluxo {
 public:
  explicit FluxoSemServidor(Erro erro) : erro_(std::move(erro)) {}
  std::optional<Erro> adicionarSaida(SaidaDoFluxo&, TipoDeSaida, FilaSerial&) override { return std::nullopt; }
  void iniciarCaptura(std::function<void(std::optional<Erro>)> conclusao) override { conclusao(erro_); }

 private:
  Erro erro_;
};

}  // namespace

Resultado<ServidorDeSom*> PlataformaLinux::servidor() {
  if (!escolha_) escolha_ = escolherServidor(servidoresConhecidos());
  if (!escolha_->ok()) return escolha_->erro();
  return escolha_->valor().get();
}

// Window choices have no meaning here: every display and application is offered.
void PlataformaLinux::pedirConteudo(bool, bool, std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) {
  Resultado<ServidorDeSom*> servidor = this->servidor();
  if (!servidor.ok()) return conclusao(servidor.erro());
  Resultado<std::vector<Aplicativo>> aplicativos = servidor.valor()->aplicativos();
  if (!aplicativos.ok()) return conclusao(aplicativos.erro());
  conclusao(ConteudoCompartilhavel{telasDoSistema(), std::move(aplicativos.valor())});
}

std::unique_ptr<Fluxo> PlataformaLinux::criarFluxo(const FiltroDeConteudo& filtro,
                                                   const ConfiguracaoDoFluxo& configuracao,
                                                   DelegadoDoFluxo& delegado) {
  Resultado<ServidorDeSom*> servidor = this->servidor();
  if (!servidor.ok()) return std::make_unique<FluxoSemServidor>(servidor.erro());
  return servidor.valor()->criarFluxo(filtro, configuracao, delegado);
}

std::unique_ptr<FilaSerial> PlataformaLinux::criarFila(const std::string& rotulo) {
  return std::make_unique<FilaSerialLinux>(rotulo);
}

}  // namespace escuta
