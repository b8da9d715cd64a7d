#pragma once
// A value or the error that took its place, as the platform's completions give them.
#include <string>
#include <utility>
#include <variant>

namespace escuta {

struct Erro {
  std::string descricao;  // the platform's localized description
};

template <typename T>
class Resultado {
 public:
  Resultado(T valor) : conteudo_(std::move(valor)) {}
  Resultado(Erro erro) : conteudo_(std::move(erro)) {}

  bool ok() const { return std::holds_alternative<T>(conteudo_); }
  T& valor() { return std::get<T>(conteudo_); }
  const T& valor() const { return std::get<T>(conteudo_); }
  const Erro& erro() const { return std::get<Erro>(conteudo_); }

 private:
  std::variant<T, Erro> conteudo_;
};

}  // namespace escuta
