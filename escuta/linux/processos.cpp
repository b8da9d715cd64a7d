#include "escuta/linux/processos.h"

#include <signal.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace escuta {

namespace {

constexpr size_t kTamanhoDoComm = 15;

std::string nomeDoExecutavel(const std::filesystem::path& pasta) {
  std::error_code erro;
  std::string alvo = std::filesystem::read_symlink(pasta / "exe", erro).string();
  if (erro) return {};
  // An executable replaced by an upgrade is still the same program.
  const std::string apagado = " (deleted)";
  if (alvo.ends_with(apagado)) alvo.resize(alvo.size() - apagado.size());
  return std::filesystem::path(alvo).filename().string();
}

}  // namespace

bool executaOBinario(int32_t pid, const std::string& binario, const std::string& raiz) {
  if (pid <= 0 || binario.empty()) return false;
  const std::filesystem::path pasta = std::filesystem::path(raiz) / std::to_string(pid);
  if (const std::string exe = nomeDoExecutavel(pasta); !exe.empty()) return exe == binario;
  std::ifstream comm(pasta / "comm");
  std::string nome;
  if (!std::getline(comm, nome)) return false;
  return !nome.empty() && nome == binario.substr(0, kTamanhoDoComm);
}

// Signal 0 is only the check; EPERM means another user's process.
bool processoExiste(int32_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace escuta
