#pragma once
// A scripted platform and process for escuta's tests. Completions arrive on
// another thread, as the real platform's do. The process's exits throw, so a
// test sees the status; dormirParaSempre runs a scripted action first.
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "escuta/plataforma.h"
#include "escuta/processo.h"

namespace escuta::teste {

struct Encerrado {
  int status;
};
struct PipeQuebrado {};
struct Dormindo {};

class ProcessoFalso : public Processo {
 public:
  std::string saida, erro;
  std::vector<std::string> escritasDeSaida;
  std::function<Escrita(std::string_view)> escrita = [](std::string_view) { return Escrita{}; };
  std::function<void()> aoDormir = [] {};

  void escreverErro(std::string_view bytes) override { erro += bytes; }
  Escrita escreverSaida(std::string_view bytes) override {
    escritasDeSaida.emplace_back(bytes);
    const Escrita e = escrita(bytes);
    if (e.resultado == Escrita::feita) saida += bytes;
    return e;
  }
  [[noreturn]] void encerrar(int status) override { throw Encerrado{status}; }
  [[noreturn]] void encerrarPorPipeQuebrado() override { throw PipeQuebrado{}; }
  [[noreturn]] void dormirParaSempre() override {
    aoDormir();
    throw Dormindo{};
  }
};

class AmostraFalsa : public AmostraDeAudio {
 public:
  explicit AmostraFalsa(std::vector<BufferDeAudio> buffers) : buffers_(std::move(buffers)) {}
  bool pronta = true;
  bool temLista = true;
  bool dadosProntos() const override { return pronta; }
  std::optional<std::vector<BufferDeAudio>> listaDeBuffers() const override {
    if (!temLista) return std::nullopt;
    return buffers_;
  }

 private:
  std::vector<BufferDeAudio> buffers_;
};

class PlataformaFalsa : public Plataforma {
 public:
  ~PlataformaFalsa() override;

  // The script.
  ConteudoCompartilhavel conteudo;
  std::optional<Erro> erroDoConteudo, erroAoAdicionar, erroAoIniciar;

  // What was asked.
  int pedidos = 0;
  bool excluirAreaDeTrabalho = true, soNaTela = false;
  std::optional<FiltroDeConteudo> filtro;
  std::optional<ConfiguracaoDoFluxo> configuracao;
  std::vector<std::string> rotulos;
  DelegadoDoFluxo* delegado = nullptr;
  SaidaDoFluxo* saida = nullptr;
  std::optional<TipoDeSaida> tipo;
  bool saidaEhODelegado = false;  // checked while both are alive
  bool iniciado = false;

  void pedirConteudo(bool excluirAreaDeTrabalho, bool soNaTela,
                     std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) override;
  std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override;
  std::unique_ptr<FilaSerial> criarFila(const std::string& rotulo) override;

  // Runs `f` on another thread, as platform completions do.
  void emOutraThread(std::function<void()> f) { threads_.emplace_back(std::move(f)); }

 private:
  std::vector<std::thread> threads_;
};

struct Saida {
  int status = -1;  // -1: asleep for good (capture running)
  bool pipeQuebrado = false;
  std::string saida, erro;
  std::vector<std::string> escritasDeSaida;
};

// Runs escuta's dispatch with `args` (program path first) over the fakes.
Saida rodar(PlataformaFalsa& plataforma, std::vector<std::string> args, ProcessoFalso processo = {});

}  // namespace escuta::teste
