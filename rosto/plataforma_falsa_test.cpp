#include "rosto/plataforma_falsa_test.h"

namespace rosto::teste {

namespace {

class GeradorFalso : public Gerador {
 public:
  explicit GeradorFalso(PlataformaFalsa& p) : p_(p) {}
  Resultado<Imagem> imagemEm(Tempo quando) override {
    p_.tempos.push_back(quando);
    return p_.quadro(quando);
  }

 private:
  PlataformaFalsa& p_;
};

class AtivoFalso : public Ativo {
 public:
  explicit AtivoFalso(PlataformaFalsa& p) : p_(p) {}
  std::vector<FaixaDeVideo> faixasDeVideo() override { return p_.faixas; }
  double duracao() override { return p_.duracaoDoVideo; }
  std::unique_ptr<Gerador> criarGerador(const AjustesDoGerador& ajustes) override {
    p_.ajustes = ajustes;
    return std::make_unique<GeradorFalso>(p_);
  }

 private:
  PlataformaFalsa& p_;
};

class PedidoFalso : public PedidoDeRostos {
 public:
  explicit PedidoFalso(PlataformaFalsa& p) : p_(p) {}
  Resultado<ListaDeRostos> executar(const Imagem&) override { return p_.deteccao(p_.deteccoes++); }

 private:
  PlataformaFalsa& p_;
};

}  // namespace

std::unique_ptr<Ativo> PlataformaFalsa::abrirAtivo(const std::string& caminho) {
  abertos.push_back(caminho);
  return std::make_unique<AtivoFalso>(*this);
}

Resultado<std::unique_ptr<PedidoDeRostos>> PlataformaFalsa::criarPedido() {
  ++pedidosCriados;
  if (erroDoPedido) return Erro{*erroDoPedido};
  return std::unique_ptr<PedidoDeRostos>(std::make_unique<PedidoFalso>(*this));
}

Saida rodar(PlataformaFalsa& plataforma, std::vector<std::string> args, bool depurar, TerminalFalso terminal) {
  int status;
  try {
    status = executar(std::move(args), depurar, plataforma, terminal);
  } catch (const Encerrado& e) {
    status = e.status;
  }
  return {status, terminal.saida, terminal.erro, terminal.escritas};
}

}  // namespace rosto::teste
