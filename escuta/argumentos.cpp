#include "escuta/argumentos.h"

#include <algorithm>
#include <limits>

namespace escuta {

std::optional<std::string> valor(const std::vector<std::string>& args, std::string_view flag) {
  const auto primeiro = std::find(args.begin(), args.end(), flag);
  if (primeiro == args.end() || primeiro + 1 == args.end()) return std::nullopt;
  return *(primeiro + 1);
}

bool tem(const std::vector<std::string>& args, std::string_view flag) {
  return std::find(args.begin(), args.end(), flag) != args.end();
}

std::optional<int64_t> lerInteiro(std::string_view texto) {
  const bool negativo = !texto.empty() && texto.front() == '-';
  if (!texto.empty() && (texto.front() == '+' || texto.front() == '-')) texto.remove_prefix(1);
  if (texto.empty()) return std::nullopt;
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min(), kMax = std::numeric_limits<int64_t>::max();
  int64_t v = 0;
  for (char c : texto) {
    if (c < '0' || c > '9') return std::nullopt;
    const int d = c - '0';
    // Subtracting for a minus sign reaches the minimum, which has no positive twin.
    if (negativo ? v < (kMin + d) / 10 : v > (kMax - d) / 10) return std::nullopt;
    v = negativo ? v * 10 - d : v * 10 + d;
  }
  return v;
}

OpcoesDeCaptura lerOpcoesDeCaptura(const std::vector<std::string>& args) {
  const auto inteiro = [&](std::string_view flag) -> std::optional<int64_t> {
    const std::optional<std::string> texto = valor(args, flag);
    return texto ? lerInteiro(*texto) : std::nullopt;
  };
  OpcoesDeCaptura o;
  o.telaEscolhida = inteiro("--tela");
  o.excluirBundle = valor(args, "--excluir-app");
  o.taxa = inteiro("--taxa").value_or(48000);
  o.canais = inteiro("--canais").value_or(2);
  return o;
}

}  // namespace escuta
