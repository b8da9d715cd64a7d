#pragma once
// Captured PCM on its way to the output: each block is handed to the output
// on its serial queue, never on the sound server's thread, so a slow reader
// never holds up the server.
#include <cstdint>
#include <vector>

#include "escuta/linux/fila_serial.h"
#include "escuta/plataforma.h"

namespace escuta {

// Owned bytes, as one interleaved audio buffer.
class AmostraDeBytes : public AmostraDeAudio {
 public:
  explicit AmostraDeBytes(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bool dadosProntos() const override { return true; }
  std::optional<std::vector<BufferDeAudio>> listaDeBuffers() const override {
    return std::vector<BufferDeAudio>{{bytes_.data(), static_cast<uint32_t>(bytes_.size())}};
  }

 private:
  std::vector<uint8_t> bytes_;
};

class Entrega {
 public:
  Entrega(const ConfiguracaoDoFluxo& configuracao, DelegadoDoFluxo& delegado);

  // What Fluxo::adicionarSaida answers: only audio, only on a queue of this platform.
  std::optional<Erro> registrar(SaidaDoFluxo& saida, TipoDeSaida tipo, FilaSerial& fila);
  bool registrada() const { return saida_ != nullptr; }

  // Queues the block for the output. A reader more than kSegundosDeFolga
  // behind ends the capture instead: holding more would grow without end,
  // dropping would leave a hole.
  void entregar(std::vector<uint8_t> bytes);

 private:
  DelegadoDoFluxo& delegado_;
  const size_t folga_;  // bytes the reader may fall behind
  SaidaDoFluxo* saida_ = nullptr;
  FilaSerialLinux* fila_ = nullptr;
};

}  // namespace escuta
