#pragma once
// The process services escuta writes through and ends by. Any thread may call them.
#include <string>
#include <string_view>

namespace escuta {

struct Escrita {
  enum Resultado { feita, leitorSaiu, falhou } resultado = feita;
  std::string descricao;  // why it failed, for falhou
};

class Processo {
 public:
  virtual ~Processo() = default;
  virtual void escreverErro(std::string_view bytes) = 0;
  // All the bytes in one write, or what went wrong.
  virtual Escrita escreverSaida(std::string_view bytes) = 0;
  [[noreturn]] virtual void encerrar(int status) = 0;
  // Ends the process as a broken pipe does, without a word.
  [[noreturn]] virtual void encerrarPorPipeQuebrado() = 0;
  // Blocks the calling thread for good: the process goes on in other threads.
  [[noreturn]] virtual void dormirParaSempre() = 0;
};

// One line to standard error: the message and a line feed, in one write.
void avisar(Processo& processo, std::string_view mensagem);
// avisar, then exit with `status`. Never returns.
[[noreturn]] void sair(Processo& processo, std::string_view mensagem, int status = 1);

}  // namespace escuta
