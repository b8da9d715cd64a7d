#include "rosto/terminal.h"

#include <cstdlib>
#include <string>

namespace rosto {

namespace {
constexpr const char* kNaoEscreveu = "não consegui escrever os registros no stdout: ";

std::string comQuebra(std::string_view texto) {
  std::string linha(texto);
  linha += '\n';
  return linha;
}
}  // namespace

void escrever(Terminal& saida, std::string_view texto) {
  if (std::optional<std::string> erro = saida.escreverSaida(comQuebra(texto))) falhar(saida, kNaoEscreveu + *erro);
}

void falhar(Terminal& processo, std::string_view mensagem) {
  processo.escreverErro(comQuebra(mensagem));
  processo.encerrar(2);
  std::abort();  // encerrar never returns; this keeps the promise if it did
}

}  // namespace rosto
