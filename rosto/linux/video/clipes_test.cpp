#include "rosto/linux/video/clipes_test.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace rosto::teste {

Clipes::Clipes() {
  char modelo[] = "/tmp/rosto-clipes-XXXXXX";
  if (!mkdtemp(modelo)) throw std::runtime_error("mkdtemp");
  pasta_ = modelo;
}

Clipes::~Clipes() {
  std::error_code e;
  std::filesystem::remove_all(pasta_, e);
}

void rodarComando(const std::string& comando) {
  if (std::system(comando.c_str()) != 0) throw std::runtime_error("falhou: " + comando);
}

std::string argumentosDeGiro(const std::string& origem, int graus) {
  static const bool novo =
      std::system("ffmpeg -hide_banner -h full 2>/dev/null | grep -q -- -display_rotation") == 0;
  if (novo) return "-display_rotation:v:0 " + std::to_string(graus) + " -i '" + origem + "' -c copy";
  return "-i '" + origem + "' -c copy -metadata:s:v:0 rotate=" + std::to_string(graus);
}

std::string Clipes::fazer(const std::string& nome, const std::string& argumentos) const {
  const std::string destino = caminho(nome);
  rodarComando("ffmpeg -nostdin -v error -y " + argumentos + " '" + destino + "'");
  return destino;
}

// Luma 16 + 3·N survives lossless coding exactly; RGB conversion rounds by one at most.
std::string clipeNumerado(const Clipes& c, const std::string& nome, int quadros, const std::string& taxa,
                          const std::string& extra) {
  return c.fazer(nome, "-f lavfi -i \"nullsrc=s=64x48:r=" + taxa +
                           ",format=yuv420p,geq=lum='16+3*N':cb=128:cr=128\" -frames:v " +
                           std::to_string(quadros) + " " + extra + " -c:v libx264 -qp 0 -pix_fmt yuv420p");
}

int numeroDoQuadro(uint8_t cinza) {
  return static_cast<int>(std::lround(cinza * 219.0 / 255.0 / 3.0));
}

}  // namespace rosto::teste
