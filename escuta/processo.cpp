#include "escuta/processo.h"

#include <cstdlib>

namespace escuta {

void avisar(Processo& processo, std::string_view mensagem) {
  std::string linha(mensagem);
  linha += '\n';
  processo.escreverErro(linha);
}

void sair(Processo& processo, std::string_view mensagem, int status) {
  avisar(processo, mensagem);
  processo.encerrar(status);
  std::abort();  // encerrar never returns; this keeps the promise if it did
}

}  // namespace escuta
