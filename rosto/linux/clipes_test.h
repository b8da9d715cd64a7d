#pragma once
// Test videos made on the spot with the ffmpeg command-line tool, in a
// temporary folder that goes away with the object.
#include <string>

namespace rosto::teste {

class Clipes {
 public:
  Clipes();
  ~Clipes();
  Clipes(const Clipes&) = delete;
  Clipes& operator=(const Clipes&) = delete;

  // Runs `ffmpeg -v error -y <argumentos> <pasta>/<nome>` and gives the path; throws on failure.
  std::string fazer(const std::string& nome, const std::string& argumentos) const;
  // A path inside the folder.
  std::string caminho(const std::string& nome) const { return pasta_ + "/" + nome; }

 private:
  std::string pasta_;
};

// Runs a shell command; throws when it fails.
void rodarComando(const std::string& comando);

// A clip of gray frames whose level encodes the frame number (see nivelDoQuadro).
// `filtros` may add timing filters after the generator.
std::string clipeNumerado(const Clipes& c, const std::string& nome, int quadros, const std::string& taxa,
                          const std::string& extra = "");

// The frame number carried by a gray level of clipeNumerado.
int numeroDoQuadro(uint8_t cinza);

}  // namespace rosto::teste
