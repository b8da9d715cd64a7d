#include "escuta/plataforma_falsa_test.h"

#include "escuta/despacho.h"

namespace escuta::teste {

namespace {

class FluxoFalso : public Fluxo {
 public:
  explicit FluxoFalso(PlataformaFalsa& p) : p_(p) {}
  std::optional<Erro> adicionarSaida(SaidaDoFluxo& saida, TipoDeSaida tipo, FilaSerial&) override {
    p_.saida = &saida;
    p_.tipo = tipo;
    p_.saidaEhODelegado = p_.delegado && dynamic_cast<void*>(&saida) == dynamic_cast<void*>(p_.delegado);
    return p_.erroAoAdicionar;
  }
  void iniciarCaptura(std::function<void(std::optional<Erro>)> conclusao) override {
    p_.iniciado = true;
    p_.emOutraThread([c = std::move(conclusao), e = p_.erroAoIniciar] { c(e); });
  }

 private:
  PlataformaFalsa& p_;
};

}  // namespace

PlataformaFalsa::~PlataformaFalsa() {
  for (std::thread& t : threads_) t.join();
}

void PlataformaFalsa::pedirConteudo(bool excluir, bool so,
                                    std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) {
  ++pedidos;
  excluirAreaDeTrabalho = excluir;
  soNaTela = so;
  if (erroDoConteudo)
    emOutraThread([c = std::move(conclusao), e = *erroDoConteudo] { c(e); });
  else
    emOutraThread([c = std::move(conclusao), conteudo = conteudo] { c(conteudo); });
}

std::unique_ptr<Fluxo> PlataformaFalsa::criarFluxo(const FiltroDeConteudo& f, const ConfiguracaoDoFluxo& c,
                                                   DelegadoDoFluxo& d) {
  filtro = f;
  configuracao = c;
  delegado = &d;
  return std::make_unique<FluxoFalso>(*this);
}

std::unique_ptr<FilaSerial> PlataformaFalsa::criarFila(const std::string& rotulo) {
  rotulos.push_back(rotulo);
  return std::make_unique<FilaSerial>();
}

Saida rodar(PlataformaFalsa& plataforma, std::vector<std::string> args, ProcessoFalso processo) {
  Saida s;
  try {
    despachar(args, plataforma, processo);
  } catch (const Encerrado& e) {
    s.status = e.status;
  } catch (const PipeQuebrado&) {
    s.pipeQuebrado = true;
  } catch (const Dormindo&) {
  }
  s.saida = processo.saida;
  s.erro = processo.erro;
  s.escritasDeSaida = processo.escritasDeSaida;
  return s;
}

}  // namespace escuta::teste
