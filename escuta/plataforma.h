#pragma once
// The screen-capture operations escuta needs from its platform: what can be
// captured (displays, applications), and a stream of the system's sound
// that can leave some applications out. The Linux implementation lives in
// linux/; tests script their own.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "escuta/resultado.h"

namespace escuta {

struct Tela {
  uint32_t id = 0;  // stable for the machine and session
  int64_t largura = 0;
  int64_t altura = 0;
};

struct Aplicativo {
  std::string id;  // what identifies the application for exclusion
  std::string nome;
  int32_t pid = 0;
};

// Both lists in the platform's order.
struct ConteudoCompartilhavel {
  std::vector<Tela> telas;
  std::vector<Aplicativo> aplicativos;
};

// One display, with the applications whose sound is left out.
struct FiltroDeConteudo {
  Tela tela;
  std::vector<Aplicativo> excluidos;
};

struct Duracao {
  int64_t valor = 0;
  int32_t escala = 1;
};

struct ConfiguracaoDoFluxo {
  bool capturaAudio = false;
  int64_t taxa = 0;    // samples per second
  int64_t canais = 0;  // interleaved channels
  int64_t largura = 0;
  int64_t altura = 0;
  Duracao intervaloMinimo;
  int64_t profundidadeDaFila = 0;
};

enum class TipoDeSaida : int64_t { tela = 0, audio = 1 };

// One buffer of a sample: its bytes, which stay valid while the sample lives.
struct BufferDeAudio {
  const void* dados = nullptr;  // may be null
  uint32_t bytes = 0;
};

// A delivered sample: its readiness and its list of audio buffers.
class AmostraDeAudio {
 public:
  virtual ~AmostraDeAudio() = default;
  virtual bool dadosProntos() const = 0;
  // The buffer list; absent when it cannot be had.
  virtual std::optional<std::vector<BufferDeAudio>> listaDeBuffers() const = 0;
};

// Receives the stream's samples, one at a time, on the registered queue.
class SaidaDoFluxo {
 public:
  virtual ~SaidaDoFluxo() = default;
  virtual void fluxoEntregou(const AmostraDeAudio& amostra, TipoDeSaida tipo) = 0;
};

// Told once, on a thread of the platform's choosing, when the stream stops on its own.
class DelegadoDoFluxo {
 public:
  virtual ~DelegadoDoFluxo() = default;
  virtual void fluxoParou(const Erro& erro) = 0;
};

// A serial queue: what is put on it runs one at a time, in order, off the
// caller's thread.
class FilaSerial {
 public:
  virtual ~FilaSerial() = default;
};

class Fluxo {
 public:
  virtual ~Fluxo() = default;
  // Samples of `tipo` will go to `saida` on `fila`; both must outlive the stream.
  virtual std::optional<Erro> adicionarSaida(SaidaDoFluxo& saida, TipoDeSaida tipo, FilaSerial& fila) = 0;
  // Starts capturing; `conclusao` runs once, on any thread, with the error if it failed.
  virtual void iniciarCaptura(std::function<void(std::optional<Erro>)> conclusao) = 0;
};

class Plataforma {
 public:
  virtual ~Plataforma() = default;
  // `conclusao` runs once, on any thread, with the content or an error
  // (the capture service unreachable or refused).
  virtual void pedirConteudo(bool excluirAreaDeTrabalho, bool soNaTela,
                             std::function<void(Resultado<ConteudoCompartilhavel>)> conclusao) = 0;
  // `delegado` must outlive the stream.
  virtual std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                            DelegadoDoFluxo& delegado) = 0;
  virtual std::unique_ptr<FilaSerial> criarFila(const std::string& rotulo) = 0;
};

}  // namespace escuta
