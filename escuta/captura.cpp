#include "escuta/captura.h"

#include <cstdlib>
#include <future>

#include "escuta/listagem.h"
#include "escuta/saida_de_audio.h"

namespace escuta {

namespace {

constexpr const char* kNaoAbriu = "não consegui abrir a captura: ";

ConfiguracaoDoFluxo configuracaoPara(int64_t taxa, int64_t canais) {
  ConfiguracaoDoFluxo c;
  c.capturaAudio = true;
  c.taxa = taxa;
  c.canais = canais;
  c.largura = 2;
  c.altura = 2;
  c.intervaloMinimo = {1, 1};
  c.profundidadeDaFila = 6;
  return c;
}

std::optional<Erro> aguardarInicio(Fluxo& fluxo) {
  std::promise<std::optional<Erro>> prometido;
  std::future<std::optional<Erro>> concluido = prometido.get_future();
  fluxo.iniciarCaptura([&prometido](std::optional<Erro> erro) { prometido.set_value(std::move(erro)); });
  return concluido.get();
}

std::string linhaDePronto(int64_t taxa, int64_t canais) {
  return "pronto: " + std::to_string(taxa) + " Hz, " + std::to_string(canais) +
         " canal(is), float32 intercalado no stdout";
}

}  // namespace

std::optional<Tela> escolherTela(const std::vector<Tela>& telas, std::optional<int64_t> telaEscolhida) {
  if (telas.empty()) return std::nullopt;
  if (telaEscolhida)
    for (const Tela& t : telas)
      if (static_cast<int64_t>(t.id) == *telaEscolhida) return t;
  return telas.front();
}

std::vector<Aplicativo> aplicativosExcluidos(const std::vector<Aplicativo>& aplicativos,
                                             const std::optional<std::string>& excluirBundle) {
  std::vector<Aplicativo> excluidos;
  if (!excluirBundle) return excluidos;
  for (const Aplicativo& a : aplicativos)
    if (a.id == *excluirBundle) excluidos.push_back(a);
  return excluidos;
}

void capturarAudio(Plataforma& plataforma, Processo& processo, std::optional<int64_t> telaEscolhida,
                   const std::optional<std::string>& excluirBundle, int64_t taxa, int64_t canais) {
  Resultado<ConteudoCompartilhavel> conteudo = aguardarConteudo(plataforma);
  if (!conteudo.ok()) sair(processo, kMensagemDePermissao);
  const std::optional<Tela> tela = escolherTela(conteudo.valor().telas, telaEscolhida);
  if (!tela) sair(processo, "nenhuma tela encontrada");
  const FiltroDeConteudo filtro{*tela, aplicativosExcluidos(conteudo.valor().aplicativos, excluirBundle)};
  // This frame never returns, so these live as long as the process.
  SaidaDeAudio saida(processo);
  const std::unique_ptr<Fluxo> fluxo = plataforma.criarFluxo(filtro, configuracaoPara(taxa, canais), saida);
  const std::unique_ptr<FilaSerial> fila = plataforma.criarFila("morvela.audio");
  if (std::optional<Erro> erro = fluxo->adicionarSaida(saida, TipoDeSaida::audio, *fila))
    sair(processo, kNaoAbriu + erro->descricao);
  if (std::optional<Erro> erro = aguardarInicio(*fluxo)) sair(processo, kNaoAbriu + erro->descricao);
  avisar(processo, linhaDePronto(taxa, canais));
  processo.dormirParaSempre();
  std::abort();  // a virtual call's noreturn is not the compiler's to trust
}

}  // namespace escuta
