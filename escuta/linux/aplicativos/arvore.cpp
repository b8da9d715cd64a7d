#include "escuta/linux/aplicativos/arvore.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <sstream>

#include "escuta/linux/aplicativos/arquivo_de_chaves.h"
#include "escuta/linux/arquivos.h"
#include "escuta/linux/processos.h"
#include "escuta/linux/unidades/unidades.h"

namespace escuta {

namespace {

// /proc's files are small; a sandbox's .flatpak-info too. More is not one of them.
constexpr size_t kMaximo = 64 * 1024;

std::string conteudo(const std::string& caminho) { return lerArquivo(caminho, kMaximo); }

template <typename T>
bool numero(std::string_view texto, T& valor) {
  const auto r = std::from_chars(texto.data(), texto.data() + texto.size(), valor);
  return r.ec == std::errc() && r.ptr == texto.data() + texto.size();
}

}  // namespace

// "pid (comm) state ppid …": the name may hold spaces and parentheses, so the
// fields start after the last ')'; the start time is field 22.
Stat lerStat(const std::string& texto) {
  const size_t abre = texto.find('('), fecha = texto.rfind(')');
  if (abre == std::string::npos || fecha == std::string::npos || fecha < abre) return {};
  Stat s;
  std::istringstream campos(texto.substr(fecha + 1));
  std::string campo;
  for (int n = 3; campos >> campo && n <= 22; ++n) {
    if (n == 4 && (!numero(campo, s.pai) || s.pai < 0)) return {};
    if (n == 22 && !numero(campo, s.inicio)) return {};
  }
  s.comando = texto.substr(abre + 1, fecha - abre - 1);
  return s;
}

std::vector<int32_t> ArvoreDoProc::todos() {
  std::vector<int32_t> pids;
  DIR* pasta = opendir(raiz_.c_str());
  if (!pasta) return pids;
  while (const dirent* e = readdir(pasta)) {
    int32_t pid = 0;
    if (numero(std::string_view(e->d_name), pid) && pid > 0) pids.push_back(pid);
  }
  closedir(pasta);
  return pids;
}

std::string ArvoreDoProc::arquivo(int32_t pid, const char* nome) const {
  return raiz_ + "/" + std::to_string(pid) + "/" + nome;
}

const ArvoreDoProc::Estado& ArvoreDoProc::estado(int32_t pid) {
  auto [it, novo] = estados_.try_emplace(pid);
  if (novo && pid > 0) {
    const Stat s = lerStat(conteudo(arquivo(pid, "stat")));
    it->second = {s.pai, s.inicio, s.comando};
  }
  return it->second;
}

std::string ArvoreDoProc::unidade(int32_t pid) {
  auto [it, novo] = unidades_.try_emplace(pid);
  if (novo && pid > 0) it->second = unidadeDoCgroup(conteudo(arquivo(pid, "cgroup")));
  return it->second;
}

std::vector<std::string> ArvoreDoProc::argumentos(int32_t pid) {
  std::vector<std::string> palavras;
  const std::string linha = conteudo(arquivo(pid, "cmdline"));
  for (size_t inicio = 0; inicio < linha.size();) {
    const size_t fim = std::min(linha.find('\0', inicio), linha.size());
    palavras.push_back(linha.substr(inicio, fim - inicio));
    inicio = fim + 1;
  }
  return palavras;
}

int64_t ArvoreDoProc::usuario(int32_t pid) {
  struct stat s {};
  return stat((raiz_ + "/" + std::to_string(pid)).c_str(), &s) == 0 ? static_cast<int64_t>(s.st_uid) : -1;
}

std::string ArvoreDoProc::binario(int32_t pid) {
  auto [it, novo] = binarios_.try_emplace(pid);
  if (novo && pid > 0) {
    it->second = binarioDoProcesso(pid, raiz_);
    if (it->second.empty()) it->second = comando(pid);
  }
  return it->second;
}

std::string ArvoreDoProc::flatpak(int32_t pid) {
  auto [it, novo] = flatpaks_.try_emplace(pid);
  if (novo && pid > 0) it->second = valorDoArquivoDeChaves(conteudo(arquivo(pid, "root/.flatpak-info")), "Application", "name");
  return it->second;
}

bool ArvoreDoProc::executa(int32_t pid, const std::string& binario) {
  auto [it, novo] = executam_.try_emplace({pid, binario});
  if (novo) it->second = executaOBinario(pid, binario, raiz_);
  return it->second;
}

}  // namespace escuta
