#include "escuta/linux/aplicativos/arquivo_de_chaves.h"

namespace escuta {

namespace {

std::string_view semEspacos(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r')) t.remove_suffix(1);
  return t;
}

std::string desescapar(std::string_view v) {
  std::string saida;
  for (size_t k = 0; k < v.size(); ++k) {
    if (v[k] != '\\' || k + 1 == v.size()) {
      saida += v[k];
      continue;
    }
    const char c = v[++k];
    saida += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return saida;
}

}  // namespace

std::string valorDoArquivoDeChaves(std::string_view texto, std::string_view grupo, std::string_view chave) {
  bool dentro = false;
  while (!texto.empty()) {
    const size_t fim = texto.find('\n');
    const std::string_view linha = semEspacos(texto.substr(0, fim));
    texto.remove_prefix(fim == std::string_view::npos ? texto.size() : fim + 1);
    if (linha.starts_with('[')) {
      dentro = linha.size() == grupo.size() + 2 && linha.ends_with(']') && linha.substr(1, grupo.size()) == grupo;
      continue;
    }
    const size_t igual = linha.find('=');
    if (dentro && igual != std::string_view::npos && semEspacos(linha.substr(0, igual)) == chave)
      return desescapar(semEspacos(linha.substr(igual + 1)));
  }
  return {};
}

}  // namespace escuta
