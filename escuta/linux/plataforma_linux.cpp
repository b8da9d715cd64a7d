#include "escuta/linux/plataforma_linux.h"

#include <unistd.h>

#include <set>

#include "escuta/linux/fila_serial.h"
#include "escuta/linux/servidores.h"
#include "escuta/linux/sessao/sessao_grafica.h"
#include "escuta/linux/unidades/unidades.h"

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
  if (!escolha_) escolha_ = escolherServidor(servidoresConhecidos(), diagnosticar_);
  if (!escolha_->ok()) return escolha_->erro();
  return escolha_->valor().get();
}

// Window choices have no meaning here: every display and application is offered.
void PlataformaLinux::pedirConteudo(bool, bool, std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) {
  Resultado<ServidorDeSom*> servidor = this->servidor();
  if (!servidor.ok()) return conclusao(servidor.erro());
  ArvoreDoProc arvore;  // one look at each process for the whole listing
  Resultado<std::vector<ClienteDeSom>> clientes = servidor.valor()->clientes(arvore);
  if (!clientes.ok()) return conclusao(clientes.erro());
  const SessaoGrafica sessao(arvore);
  listagem_ =
      Reuniao(sessao.janelas(), membrosDeUnidades(arvore, getuid()), clientes.valor(), arvore, Nomes::doAmbiente());
  conclusao(ConteudoCompartilhavel{sessao.telas(), listagem_.aplicativos()});
}

std::unique_ptr<Fluxo> PlataformaLinux::criarFluxo(const FiltroDeConteudo& filtro,
                                                   const ConfiguracaoDoFluxo& configuracao,
                                                   DelegadoDoFluxo& delegado) {
  Resultado<ServidorDeSom*> servidor = this->servidor();
  if (!servidor.ok()) return std::make_unique<FluxoSemServidor>(servidor.erro());
  std::set<std::string> ids;
  for (const Aplicativo& a : filtro.excluidos) ids.insert(a.id);
  return servidor.valor()->criarFluxo(std::make_shared<const Exclusao>(listagem_, std::move(ids)), configuracao,
                                      delegado);
}

std::unique_ptr<FilaSerial> PlataformaLinux::criarFila(const std::string& rotulo) {
  return std::make_unique<FilaSerialLinux>(rotulo);
}

}  // namespace escuta
