#include "escuta/linux/arquivos.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace escuta {

namespace {

// Most of these files are a few hundred bytes: read them a block at a time.
constexpr size_t kBloco = 4096;

}  // namespace

std::string lerArquivo(const std::string& caminho, size_t maximo) {
  std::string texto;
  const int fd = open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return texto;
  while (texto.size() < maximo) {
    const size_t antes = texto.size();
    texto.resize(std::min(maximo, antes + kBloco));
    const ssize_t n = read(fd, texto.data() + antes, texto.size() - antes);
    if (n < 0 && errno == EINTR) {
      texto.resize(antes);
      continue;
    }
    texto.resize(antes + static_cast<size_t>(std::max<ssize_t>(0, n)));
    if (n <= 0) break;
  }
  close(fd);
  return texto;
}

}  // namespace escuta
