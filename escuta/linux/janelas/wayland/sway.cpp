#include "escuta/linux/janelas/wayland/sway.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "escuta/linux/insistir.h"

namespace escuta {

namespace {

constexpr char kMagica[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr uint32_t kGetTree = 4;
constexpr size_t kCabecalho = sizeof kMagica + 8;
// A desktop's tree is some kilobytes a window.
constexpr uint32_t kMaiorResposta = 64u << 20;
constexpr std::chrono::seconds kPrazo{3};

std::string texto(const nlohmann::json& no, const char* chave) {
  const auto it = no.find(chave);
  return it != no.end() && it->is_string() ? it->get<std::string>() : std::string();
}

VistaDoSway comoVista(const nlohmann::json& no) {
  VistaDoSway v;
  v.pid = no["pid"].get<int32_t>();
  v.appId = texto(no, "app_id");
  v.titulo = texto(no, "name");
  v.xwayland = texto(no, "shell") == "xwayland";
  if (const auto p = no.find("window_properties"); p != no.end() && p->is_object()) {
    v.classe = texto(*p, "class");
  }
  return v;
}

class Soquete {
 public:
  explicit Soquete(int fd) : fd_(fd) {}
  ~Soquete() {
    if (fd_ >= 0) close(fd_);
  }
  Soquete(const Soquete&) = delete;
  Soquete& operator=(const Soquete&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Connected, or -1; a socket that refuses is a sway busy for a moment.
int conectar(const char* caminho) {
  sockaddr_un endereco{};
  endereco.sun_family = AF_UNIX;
  if (std::strlen(caminho) >= sizeof endereco.sun_path) return -1;
  std::strcpy(endereco.sun_path, caminho);
  const std::optional<int> fd = insistir(kPrazoDeRecusas, [&]() -> std::optional<int> {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&endereco), sizeof endereco) == 0) return fd;
    const int erro = errno;
    close(fd);
    if (erro == ECONNREFUSED || erro == EAGAIN) return std::nullopt;
    return -1;
  });
  return fd.value_or(-1);
}

bool lerTudo(int fd, char* destino, size_t bytes, std::chrono::steady_clock::time_point fim) {
  while (bytes > 0) {
    const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(fim - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    const int r = resta.count() > 0 ? poll(&p, 1, static_cast<int>(resta.count())) : 0;
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    const ssize_t n = read(fd, destino, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    destino += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::vector<VistaDoSway> vistasDaArvore(std::string_view json) {
  std::vector<VistaDoSway> vistas;
  const nlohmann::json arvore = nlohmann::json::parse(json, nullptr, false);
  if (arvore.is_discarded()) return vistas;
  // Depth first, children in order; a stack of its own, whatever the depth.
  std::vector<const nlohmann::json*> pilha{&arvore};
  while (!pilha.empty()) {
    const nlohmann::json& no = *pilha.back();
    pilha.pop_back();
    if (!no.is_object()) continue;
    const auto pid = no.find("pid");
    if (pid != no.end() && pid->is_number_integer() && pid->get<int64_t>() > 0 && pid->get<int64_t>() <= INT32_MAX)
      vistas.push_back(comoVista(no));
    for (const char* filhos : {"floating_nodes", "nodes"}) {
      const auto f = no.find(filhos);
      if (f == no.end() || !f->is_array()) continue;
      for (auto it = f->rbegin(); it != f->rend(); ++it) pilha.push_back(&*it);
    }
  }
  return vistas;
}

std::vector<VistaDoSway> vistasDoSway() {
  const char* caminho = std::getenv("SWAYSOCK");
  if (!caminho) return {};
  const Soquete s(conectar(caminho));
  if (s.fd() < 0) return {};
  char pedido[kCabecalho];
  const uint32_t vazio = 0, tipo = kGetTree;
  std::memcpy(pedido, kMagica, sizeof kMagica);
  std::memcpy(pedido + sizeof kMagica, &vazio, 4);
  std::memcpy(pedido + sizeof kMagica + 4, &tipo, 4);
  if (send(s.fd(), pedido, sizeof pedido, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof pedido)) return {};
  const auto fim = std::chrono::steady_clock::now() + kPrazo;
  char cabecalho[kCabecalho];
  uint32_t tamanho = 0;
  if (!lerTudo(s.fd(), cabecalho, sizeof cabecalho, fim) || std::memcmp(cabecalho, kMagica, sizeof kMagica) != 0)
    return {};
  std::memcpy(&tamanho, cabecalho + sizeof kMagica, 4);
  if (tamanho > kMaiorResposta) return {};
  std::string resposta(tamanho, '\0');
  if (!lerTudo(s.fd(), resposta.data(), tamanho, fim)) return {};
  return vistasDaArvore(resposta);
}

}  // namespace escuta
