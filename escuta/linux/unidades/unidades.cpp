#include "escuta/linux/unidades/unidades.h"

#include <algorithm>
#include <cctype>

namespace escuta {

namespace {

bool alfanumerico(std::string_view t) {
  return std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isalnum(c); });
}

int hexa(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string desescapar(std::string_view t) {
  std::string saida;
  for (size_t k = 0; k < t.size(); ++k) {
    if (t[k] == '\\' && k + 3 < t.size() && t[k + 1] == 'x' && hexa(t[k + 2]) >= 0 && hexa(t[k + 3]) >= 0) {
      saida += static_cast<char>(hexa(t[k + 2]) * 16 + hexa(t[k + 3]));
      k += 3;
    } else {
      saida += t[k];
    }
  }
  return saida;
}

// Cuts "<sep><random>" off the end when the random part is alphanumeric.
bool cortarAleatorio(std::string_view& corpo, char separador) {
  const size_t k = corpo.rfind(separador);
  if (k == std::string_view::npos || !alfanumerico(corpo.substr(k + 1))) return false;
  corpo = corpo.substr(0, k);
  return true;
}

}  // namespace

std::string idDaUnidade(std::string_view unidade) {
  if (!unidade.starts_with("app-")) return {};
  std::string_view corpo = unidade.substr(4);
  if (corpo.ends_with(".scope")) {
    corpo.remove_suffix(6);
    if (!cortarAleatorio(corpo, '-')) return {};
  } else if (corpo.ends_with(".service")) {
    corpo.remove_suffix(8);
    if (!cortarAleatorio(corpo, '-')) cortarAleatorio(corpo, '@');
  } else {
    return {};
  }
  // The launcher, when there is one, is a plain word before the first '-'.
  if (const size_t k = corpo.find('-'); k != std::string_view::npos && k > 0 && alfanumerico(corpo.substr(0, k)))
    corpo = corpo.substr(k + 1);
  return desescapar(corpo);
}

std::string unidadeDoCgroup(std::string_view cgroup) {
  while (!cgroup.empty()) {
    const size_t fim = cgroup.find('\n');
    std::string_view linha = cgroup.substr(0, fim);
    cgroup.remove_prefix(fim == std::string_view::npos ? cgroup.size() : fim + 1);
    if (!linha.starts_with("0::")) continue;
    while (!linha.empty()) {
      const size_t barra = linha.rfind('/');
      const std::string_view nome = linha.substr(barra == std::string_view::npos ? 0 : barra + 1);
      if (!idDaUnidade(nome).empty()) return std::string(nome);
      if (barra == std::string_view::npos) break;
      linha = linha.substr(0, barra);
    }
  }
  return {};
}

std::vector<MembroDeUnidade> membrosDeUnidades(Arvore& arvore, int64_t usuario) {
  std::vector<MembroDeUnidade> membros;
  for (int32_t pid : arvore.todos())
    if (std::string u = arvore.unidade(pid); !u.empty() && arvore.usuario(pid) == usuario)
      membros.push_back({pid, u, idDaUnidade(u)});
  return membros;
}

}  // namespace escuta
