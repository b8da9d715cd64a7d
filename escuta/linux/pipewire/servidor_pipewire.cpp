#include "escuta/linux/pipewire/servidor_pipewire.h"

#include <unistd.h>

#include <algorithm>

#include "escuta/linux/pipewire/aplicativos.h"
#include "escuta/linux/pipewire/captura_pipewire.h"
#include "escuta/linux/pipewire/conexao_pipewire.h"

namespace escuta {

namespace {

constexpr int kRodadasPorRetardatarios = 5;

bool algumIncompleto(const Grafo& grafo) {
  return std::any_of(grafo.clientes.begin(), grafo.clientes.end(), [](const ClienteDoGrafo& c) { return !c.completo; });
}

class ServidorPipeWire : public ServidorDeSom {
 public:
  explicit ServidorPipeWire(std::unique_ptr<ConexaoPipeWire> conexao) : conexao_(std::move(conexao)) {}

  // The probe's connection answers the listing; a capture opens its own.
  Resultado<std::vector<Aplicativo>> aplicativos() override {
    std::unique_ptr<ConexaoPipeWire> conexao = std::move(conexao_);
    if (!conexao) {
      Resultado<std::unique_ptr<ConexaoPipeWire>> nova = ConexaoPipeWire::abrir();
      if (!nova.ok()) return nova.erro();
      conexao = std::move(nova.valor());
    }
    ConexaoPipeWire::Trava trava(*conexao);
    // Bound clients and nodes send their full properties after the first
    // round trip; one that appeared meanwhile gets a few more.
    if (!conexao->sincronizar()) return Erro{"o PipeWire não respondeu"};
    for (int k = 0; k < kRodadasPorRetardatarios && algumIncompleto(conexao->grafo()); ++k)
      if (!conexao->sincronizar()) return Erro{"o PipeWire não respondeu"};
    return aplicativosDe(conexao->grafo(), getpid());
  }

  std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override {
    conexao_.reset();
    return criarFluxoPipeWire(filtro, configuracao, delegado);
  }

 private:
  std::unique_ptr<ConexaoPipeWire> conexao_;
};

}  // namespace

Sondagem sondarPipeWire() {
  Resultado<std::unique_ptr<ConexaoPipeWire>> conexao = ConexaoPipeWire::abrir();
  if (!conexao.ok()) return {Sondagem::ausente, nullptr, conexao.erro().descricao};
  return {Sondagem::atende, std::make_unique<ServidorPipeWire>(std::move(conexao.valor())), ""};
}

}  // namespace escuta
