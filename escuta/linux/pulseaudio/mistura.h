#pragma once
// Sums the programs a capture hears, each delivered on its own by the sound
// server, into one stream paced by the caller's clock. Plain logic with no
// server and no clock of its own, so that hours of drift can be simulated.
//
// Streams of one device come from the same render cycles and share its
// clock; different devices run on clocks of their own. Each device is read
// through a resampler whose ratio keeps its queues near a target just
// before each delivery (their lowest, whenever they are read), so
// queues stay bounded whatever the offset between the clocks (up to
// kDerivaMaxima). The target starts at `alvo` frames; a device whose
// streams run dry twice within 10 s (its deliveries came late: a loaded
// machine) holds twice as much from then on, up to `alvoMaximo`, until it
// has been idle a second. Every start, end and gap of a stream is faded over `rampa` frames
// so that none of them clicks. Not thread-safe: one thread calls everything.
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace escuta {

class Mistura {
 public:
  struct Parametros {
    uint32_t canais = 2;
    uint32_t taxa = 48000;
    uint32_t alvo = 480;     // frames a device's queues hold just before each delivery, steady
    uint32_t rampa = 240;    // frames of a fade
    uint32_t maximo = 9600;  // frames a stream may hold; beyond, its oldest go
    uint32_t alvoMaximo = 3840;  // the most a device's target grows to
  };
  // The largest offset between two clocks the ratio follows, as a fraction.
  static constexpr double kDerivaMaxima = 0.003;

  explicit Mistura(Parametros p);

  // A stream of device `dispositivo` will deliver; it is heard once it holds
  // `alvo` and a delivery, and as much as the device's other streams.
  void abrir(uint32_t fluxo, uint32_t dispositivo);
  // `n` interleaved frames of `canais` floats.
  void receber(uint32_t fluxo, const float* quadros, size_t n);
  // `n` frames the server lost (a hole): silence of that length, faded
  // into and out of, so that it does not click.
  void lacuna(uint32_t fluxo, size_t n);
  // Its frames come on another device's clock from now on; its queue goes on.
  void mover(uint32_t fluxo, uint32_t dispositivo);
  // No more frames will come: what it holds plays out, fading at its end.
  void encerrar(uint32_t fluxo);

  // Writes the next `n` frames (n × canais floats) of the sum of every device.
  void misturar(float* saida, size_t n);

  // Frames the stream holds; 0 for one not open.
  size_t ocupacao(uint32_t fluxo) const;
  // Whether the stream is being heard (not waiting to fill).
  bool tocando(uint32_t fluxo) const;
  bool aberto(uint32_t fluxo) const { return fluxos_.count(fluxo) != 0; }
  // Device frames read per output frame.
  double razao(uint32_t dispositivo) const;
  // Frames the device's queues are kept at just before each delivery.
  double alvo(uint32_t dispositivo) const;

 private:
  struct Fluxo;
  struct Dispositivo;

  void lerDispositivo(uint32_t id, Dispositivo& d, float* saida, size_t n);
  void interpolar(const Dispositivo& d, size_t n, float* saida) const;
  bool somarFluxo(Fluxo& f, size_t lidos, size_t consome, std::vector<float>& soma);
  void ajustarAlvo(Dispositivo& d, bool secou, size_t n);
  void acrescentar(Fluxo& f, const float* quadros, size_t n);
  void guardarUltimos(Fluxo& f, const float* dados, size_t consome);
  void ajustarRazao(Dispositivo& d, size_t referencia, size_t n);
  size_t ocupacaoDeReferencia(uint32_t id) const;
  size_t folgaDeReferencia(uint32_t id) const;
  template <typename Medida>
  size_t menorEntreOsQueTocam(uint32_t id, Medida medida) const;
  bool temTocando(uint32_t id) const;

  Parametros p_;
  std::map<uint32_t, Fluxo> fluxos_;
  std::map<uint32_t, Dispositivo> dispositivos_;
  std::vector<float> soma_;   // one device's frames for one read, from its last one read on
  std::vector<float> antes_;  // the device frame before that
};

struct Mistura::Fluxo {
  uint32_t dispositivo = 0;
  std::vector<float> dados;  // frames from `inicio` on are pending
  size_t inicio = 0;
  enum Estado { enchendo, tocando, encerrando } estado = enchendo;
  bool fim = false;       // no more will come
  uint32_t entrada = 0;   // frames of the fade-in already played
  uint32_t subida = UINT32_MAX;  // frames delivered since a hole, while they fade in
  std::vector<float> ultimo;      // its last two frames read, as they went into the sum; none before
  size_t antesDoLote = 0; // frames held just before the latest delivery: its lowest
  size_t lote = 0;        // frames of the latest delivery
  size_t quadros(uint32_t canais) const { return (dados.size() - inicio) / canais; }
};

struct Mistura::Dispositivo {
  double alvo = 0.0;               // frames, the target
  size_t ocioso = 0;               // output frames since it last had a stream playing
  size_t desdeASeca = SIZE_MAX / 2;  // output frames since its streams last ran dry
  double razao = 1.0;
  double fase = 0.0;               // output position past the last frame read, in device frames
  double ocupacaoMedia = 0.0;
  bool ativo = false;              // had a stream being heard at the last read
};

}  // namespace escuta
