#include "rosto/linha_de_comando.h"

#include <array>
#include <cmath>

#include "rosto/numero.h"

namespace rosto {

namespace {

// How each flag turns its value text into the option's value.
struct Flag {
  const char* nome;
  double Opcoes::*campo;
  double (*valorDe)(std::optional<double> lido);
};

double fpsDe(std::optional<double> lido) { return std::fmax(lido.value_or(5), 0.5); }

double inicioDe(std::optional<double> lido) {
  const double v = lido.value_or(0);
  return v >= 0 ? v : 0;  // NaN fails the test too; -0 passes and stays -0
}

double fimDe(std::optional<double> lido) {
  return lido.value_or(std::numeric_limits<double>::infinity());
}

constexpr std::array<Flag, 3> kFlags{{
    {"--fps", &Opcoes::fpsAmostra, fpsDe},
    {"--inicio", &Opcoes::inicio, inicioDe},
    {"--fim", &Opcoes::fim, fimDe},
}};

const Flag* flagChamada(const std::string& palavra) {
  for (const Flag& f : kFlags)
    if (palavra == f.nome) return &f;
  return nullptr;
}

}  // namespace

std::optional<std::string> tomarVideo(std::vector<std::string>& args) {
  if (args.empty() || args.front().starts_with("--")) return std::nullopt;
  std::string video = std::move(args.front());
  args.erase(args.begin());
  return video;
}

std::optional<std::string> lerOpcoes(const std::vector<std::string>& args, Opcoes& opcoes) {
  const int64_t total = static_cast<int64_t>(args.size());
  for (int64_t i = 0; i < total; ++i) {
    const Flag* flag = flagChamada(args[i]);
    if (!flag) return "argumento desconhecido: " + args[i];
    // A flag in last place has no value and leaves its option as it is.
    if (i + 1 < total) {
      opcoes.*(flag->campo) = flag->valorDe(lerNumero(args[i + 1]));
      ++i;
    }
  }
  return std::nullopt;
}

}  // namespace rosto
