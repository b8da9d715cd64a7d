#pragma once
// The process services rosto writes through: standard output, standard
// error and the exit. Each write hands its bytes over in one piece.
#include <optional>
#include <string>
#include <string_view>

namespace rosto {

class Terminal {
 public:
  virtual ~Terminal() = default;
  // All the bytes, or why they could not be written.
  virtual std::optional<std::string> escreverSaida(std::string_view bytes) = 0;
  virtual void escreverErro(std::string_view bytes) = 0;
  [[noreturn]] virtual void encerrar(int status) = 0;
};

// One line to standard output: the text and a line feed, in one write. The
// records are the run's result: a write that fails ends the run through falhar.
void escrever(Terminal& saida, std::string_view texto);
// One line to standard error, then exit status 2. Never returns.
[[noreturn]] void falhar(Terminal& processo, std::string_view mensagem);

}  // namespace rosto
