#pragma once
// Extracts the next sample's frame on a thread of its own while the current
// one is detected: decoding and detection overlap, one frame ahead at most.
// The frames are copied out of the generator (its image lasts only until
// its next call) into two buffers that take turns.
#include <array>
#include <future>
#include <vector>

#include "rosto/plataforma.h"

namespace rosto {

class ExtracaoAdiantada {
 public:
  explicit ExtracaoAdiantada(Gerador& gerador) : gerador_(gerador) {}
  ~ExtracaoAdiantada();
  ExtracaoAdiantada(const ExtracaoAdiantada&) = delete;
  ExtracaoAdiantada& operator=(const ExtracaoAdiantada&) = delete;

  // Starts extracting the frame for `quando`. At most one is under way:
  // call `receber` before asking for the next.
  void pedir(Tempo quando);

  // Waits for the frame asked for last. Its pixels stay valid until the
  // frame after the next one is asked for.
  Resultado<Imagem> receber();

 private:
  Resultado<Imagem> extrair(Tempo quando, std::vector<uint8_t>& destino);

  Gerador& gerador_;
  std::array<std::vector<uint8_t>, 2> copias_;
  size_t proxima_ = 0;
  std::future<Resultado<Imagem>> emCurso_;
};

}  // namespace rosto
