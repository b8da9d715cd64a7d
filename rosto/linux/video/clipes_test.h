#pragma once
// Test videos made on the spot with the ffmpeg command-line tool, in a
// temporary folder that goes away with the object.
#include <cstdint>
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

// ffmpeg arguments that copy `origem` turned `graus` clockwise for display,
// with the installed ffmpeg: FFmpeg 7 no longer turns the "rotate" metadata
// key into a display matrix and takes -display_rotation instead (its
// angle, measured here, turns the picture the same way).
std::string argumentosDeGiro(const std::string& origem, int graus);

// A clip of gray frames whose level encodes the frame number (see nivelDoQuadro).
// `filtros` may add timing filters after the generator.
std::string clipeNumerado(const Clipes& c, const std::string& nome, int quadros, const std::string& taxa,
                          const std::string& extra = "");

// The frame number carried by a gray level of clipeNumerado.
int numeroDoQuadro(uint8_t cinza);

}  // namespace rosto::teste
