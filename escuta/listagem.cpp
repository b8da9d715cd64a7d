#include "escuta/listagem.h"

#include <future>

#include "escuta/json.h"

namespace escuta {

namespace {

constexpr const char* kNaoEscreveu = "não consegui escrever a listagem: ";

std::string objetoDe(const Tela& t) {
  return "{\"id\":" + std::to_string(t.id) + ",\"largura\":" + std::to_string(t.largura) +
         ",\"altura\":" + std::to_string(t.altura) + "}";
}

std::string objetoDe(const Aplicativo& a) {
  return "{\"id\":" + textoJson(a.id) + ",\"nome\":" + textoJson(a.nome) + ",\"pid\":" + std::to_string(a.pid) + "}";
}

template <typename T>
std::string lista(const std::vector<T>& itens) {
  std::string texto = "[";
  for (size_t k = 0; k < itens.size(); ++k) texto += (k ? "," : "") + objetoDe(itens[k]);
  return texto + "]";
}

}  // namespace

std::string linhaDeErroDePermissao() { return std::string("{\"erro\":\"") + kMensagemDePermissao + "\"}"; }

std::string documentoDaListagem(const ConteudoCompartilhavel& conteudo) {
  return "{\"telas\":" + lista(conteudo.telas) + ",\"aplicativos\":" + lista(conteudo.aplicativos) + "}";
}

Resultado<ConteudoCompartilhavel> aguardarConteudo(Plataforma& plataforma) {
  std::promise<Resultado<ConteudoCompartilhavel>> prometido;
  std::future<Resultado<ConteudoCompartilhavel>> conteudo = prometido.get_future();
  plataforma.pedirConteudo(false, true, [&prometido](Resultado<ConteudoCompartilhavel> r) {
    prometido.set_value(std::move(r));
  });
  return conteudo.get();
}

void listar(Plataforma& plataforma, Processo& processo) {
  Resultado<ConteudoCompartilhavel> conteudo = aguardarConteudo(plataforma);
  if (!conteudo.ok()) sair(processo, linhaDeErroDePermissao());
  const Escrita escrita = processo.escreverSaida(documentoDaListagem(conteudo.valor()));
  if (escrita.resultado == Escrita::leitorSaiu) processo.encerrarPorPipeQuebrado();
  if (escrita.resultado == Escrita::falhou) sair(processo, kNaoEscreveu + escrita.descricao);
}

}  // namespace escuta
