#include "rosto/execucao.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "rosto/amostra.h"
#include "rosto/extracao_adiantada.h"
#include "rosto/formatacao.h"
#include "rosto/geometria.h"
#include "rosto/linha_de_comando.h"

namespace rosto {

namespace {

// The run state, created once in this order and kept until the run ends.
struct EstadoDaExecucao {
  std::vector<std::string> args;
  Opcoes opcoes;  // fpsAmostra, inicio, fim
  std::string video;
  std::unique_ptr<Ativo> ativo;
  Tamanho tamanhoBruto;
  Transformacao transformacao;
  Tamanho tamanhoGirado;
  double largura = 0;
  double altura = 0;
  double duracao = 0;
  std::unique_ptr<Gerador> gerador;
  double ladoMaior = 0;
  double escala = 1;
  bool depurar = false;
  double passo = 0;
  double t = 0;
  int64_t amostras = 0;
  Terminal* saida = nullptr;
  std::unique_ptr<PedidoDeRostos> pedido;
};

constexpr const char* kSemVideo = "o arquivo não tem vídeo: ";
constexpr const char* kSemModelo = "não consegui carregar o detector de rostos: ";

void lerLinhaDeComando(EstadoDaExecucao& e, Terminal& terminal) {
  std::optional<std::string> video = tomarVideo(e.args);
  if (!video) falhar(terminal, kUso);
  e.video = std::move(*video);
  if (std::optional<std::string> erro = lerOpcoes(e.args, e.opcoes)) falhar(terminal, *erro);
}

void abrirVideo(EstadoDaExecucao& e, Plataforma& plataforma, Terminal& terminal) {
  e.ativo = plataforma.abrirAtivo(e.video);
  const std::vector<FaixaDeVideo> faixas = e.ativo->faixasDeVideo();
  if (faixas.empty()) falhar(terminal, kSemVideo + e.video);
  e.tamanhoBruto = faixas.front().tamanhoNatural;
  e.transformacao = faixas.front().transformacaoPreferida;
  e.tamanhoGirado = aplicarTransformacao(e.tamanhoBruto, e.transformacao);
  e.largura = std::fabs(e.tamanhoGirado.largura);
  e.altura = std::fabs(e.tamanhoGirado.altura);
  e.duracao = e.ativo->duracao();
  e.ladoMaior = ladoMaiorDe(e.largura, e.altura);
  e.escala = escalaPara(e.ladoMaior);
  AjustesDoGerador ajustes;
  ajustes.aplicaTransformacao = true;
  ajustes.toleranciaAntes = {0, 1};
  ajustes.toleranciaDepois = {1, 30};
  ajustes.tamanhoMaximo = {e.largura * e.escala, e.altura * e.escala};
  e.gerador = e.ativo->criarGerador(ajustes);
}

void configurar(EstadoDaExecucao& e, bool depurarNoAmbiente, Plataforma& plataforma,
                Terminal& terminal) {
  e.depurar = depurarNoAmbiente;
  e.passo = 1 / e.opcoes.fpsAmostra;
  e.t = e.opcoes.inicio;
  e.amostras = 0;
  e.saida = &terminal;
  Resultado<std::unique_ptr<PedidoDeRostos>> pedido = plataforma.criarPedido();
  if (!pedido.ok()) falhar(terminal, kSemModelo + pedido.erro().descricao);
  e.pedido = std::move(pedido.valor());
}

double limite(const EstadoDaExecucao& e) {
  return e.duracao < e.opcoes.fim ? e.duracao : e.opcoes.fim;
}

// The next sample's frame is extracted while this one is detected; the
// records still go out one per sample, in order, each when it is ready.
void amostrar(EstadoDaExecucao& e) {
  const ContextoDaAmostra contexto{*e.saida, *e.pedido, e.depurar};
  ExtracaoAdiantada adiantada(*e.gerador);
  if (e.t < limite(e)) adiantada.pedir(tempoEmSeiscentos(e.t));
  while (e.t < limite(e)) {
    const Resultado<Imagem> extraida = adiantada.receber();
    const double seguinte = e.t + e.passo;
    // A step too small to move t would repeat this sample for ever.
    const bool ultima = seguinte == e.t || !(seguinte < limite(e));
    if (!ultima) adiantada.pedir(tempoEmSeiscentos(seguinte));
    processarAmostra(contexto, e.t, extraida);
    e.amostras += 1;
    if (seguinte == e.t) break;
    e.t = seguinte;
  }
}

}  // namespace

Tempo tempoEmSeiscentos(double segundos) {
  const double unidades = std::round(segundos * 600);
  constexpr double kTeto = 9223372036854774784.0;  // largest double below 2^63
  if (!(unidades < kTeto)) return {std::numeric_limits<int64_t>::max(), 600};
  if (!(unidades > -kTeto)) return {std::numeric_limits<int64_t>::min(), 600};
  return {static_cast<int64_t>(unidades), 600};
}

std::string registroFinal(int64_t amostras, double largura, double altura, double duracao) {
  return "{\"fim\":true,\"amostras\":" + inteiro(amostras) + ",\"largura\":" + fixo(largura, 0) +
         ",\"altura\":" + fixo(altura, 0) + ",\"duracao\":" + fixo(duracao, 3) + "}";
}

int executar(std::vector<std::string> args, bool depurarNoAmbiente, Plataforma& plataforma,
             Terminal& terminal) {
  EstadoDaExecucao e;
  e.args = std::move(args);
  lerLinhaDeComando(e, terminal);
  abrirVideo(e, plataforma, terminal);
  configurar(e, depurarNoAmbiente, plataforma, terminal);
  amostrar(e);
  escrever(*e.saida, registroFinal(e.amostras, e.largura, e.altura, e.duracao));
  return 0;
}

}  // namespace rosto
