#include "escuta/linux/aplicativos/nomes.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "escuta/linux/aplicativos/arquivo_de_chaves.h"
#include "escuta/linux/arquivos.h"

namespace escuta {

namespace {

constexpr size_t kMaximo = 256 * 1024;

std::string variavel(const char* nome, const std::string& padrao) {
  const char* v = std::getenv(nome);
  return v && *v ? v : padrao;
}

}  // namespace

Nomes Nomes::doAmbiente() {
  const char* casa = std::getenv("HOME");
  std::vector<std::string> pastas;
  const std::string pessoal = variavel("XDG_DATA_HOME", casa ? std::string(casa) + "/.local/share" : "");
  if (!pessoal.empty()) pastas.push_back(pessoal + "/applications");
  const std::string sistema = variavel("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  for (size_t inicio = 0; inicio <= sistema.size();) {
    const size_t fim = std::min(sistema.find(':', inicio), sistema.size());
    if (fim > inicio) pastas.push_back(sistema.substr(inicio, fim - inicio) + "/applications");
    inicio = fim + 1;
  }
  return Nomes(std::move(pastas));
}

std::string Nomes::de(const std::string& id) const {
  // An id comes from other programs: never a path.
  if (id.empty() || id.front() == '.' || id.find('/') != std::string::npos) return {};
  auto [it, novo] = vistos_.try_emplace(id);
  if (!novo) return it->second;
  for (const std::string& pasta : pastas_) {
    const std::string caminho = pasta + "/" + id + ".desktop";
    if (access(caminho.c_str(), F_OK) != 0) continue;
    it->second = valorDoArquivoDeChaves(lerArquivo(caminho, kMaximo), "Desktop Entry", "Name");
    break;
  }
  return it->second;
}

}  // namespace escuta
