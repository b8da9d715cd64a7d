#include "escuta/linux/processos.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace escuta {

namespace {

constexpr size_t kTamanhoDoComm = 15;

}  // namespace

std::string binarioDoProcesso(int32_t pid, const std::string& raiz) {
  std::error_code erro;
  std::string alvo = std::filesystem::read_symlink(std::filesystem::path(raiz) / std::to_string(pid) / "exe", erro).string();
  if (erro) return {};
  // An executable replaced by an upgrade is still the same program.
  const std::string apagado = " (deleted)";
  if (alvo.ends_with(apagado)) alvo.resize(alvo.size() - apagado.size());
  return std::filesystem::path(alvo).filename().string();
}

bool executaOBinario(int32_t pid, const std::string& binario, const std::string& raiz) {
  if (pid <= 0 || binario.empty()) return false;
  const std::filesystem::path pasta = std::filesystem::path(raiz) / std::to_string(pid);
  if (const std::string exe = binarioDoProcesso(pid, raiz); !exe.empty()) return exe == binario;
  std::ifstream comm(pasta / "comm");
  std::string nome;
  if (!std::getline(comm, nome)) return false;
  return !nome.empty() && nome == binario.substr(0, kTamanhoDoComm);
}

// Signal 0 is only the check; EPERM means another user's process.
bool processoExiste(int32_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// The kernel gives a peer's pid as this namespace sees it, and 0 for a peer
// outside it. The connection is closed at once, unused.
std::optional<bool> pidsSaoDaqui(const std::string& caminho) {
  sockaddr_un endereco{};
  endereco.sun_family = AF_UNIX;
  if (caminho.empty() || caminho.size() >= sizeof endereco.sun_path) return std::nullopt;
  caminho.copy(endereco.sun_path, caminho.size());
  const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return std::nullopt;
  std::optional<bool> daqui;
  ucred credenciais{};
  socklen_t tamanho = sizeof credenciais;
  if (connect(s, reinterpret_cast<const sockaddr*>(&endereco), sizeof endereco) == 0 &&
      getsockopt(s, SOL_SOCKET, SO_PEERCRED, &credenciais, &tamanho) == 0)
    daqui = credenciais.pid != 0;
  close(s);
  return daqui;
}

}  // namespace escuta
