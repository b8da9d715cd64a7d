#pragma once
// The media operations rosto needs from its platform: open a video, measure
// its first video track, extract upright frames, and find faces in them.
// The Linux implementations live in linux/; tests script their own.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rosto/resultado.h"

namespace rosto {

struct Tamanho {
  double largura = 0;
  double altura = 0;
};

// Affine transform p' = (a·x + c·y + tx, b·x + d·y + ty).
struct Transformacao {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

// A time of valor / escala seconds.
struct Tempo {
  int64_t valor = 0;
  int32_t escala = 1;
};

// Packed 8-bit RGB, row 0 at the top, already in the displayed orientation.
// A view: the pixels belong to whoever produced it (see each producer).
struct Imagem {
  int largura = 0;
  int altura = 0;
  int bytesPorLinha = 0;
  const uint8_t* rgb = nullptr;
};

struct FaixaDeVideo {
  Tamanho tamanhoNatural;                // encoded size in pixels
  Transformacao transformacaoPreferida;  // encoded -> displayed
};

struct AjustesDoGerador {
  bool aplicaTransformacao = true;
  Tempo toleranciaAntes;
  Tempo toleranciaDepois;
  Tamanho tamanhoMaximo;  // images are scaled down to fit, never enlarged
};

// Extracts frames of one asset.
class Gerador {
 public:
  virtual ~Gerador() = default;
  // The frame for `quando` within the tolerances, or why there is none.
  // The image stays valid until the next call or the generator's end.
  virtual Resultado<Imagem> imagemEm(Tempo quando) = 0;
};

// An opened video file. Opening never fails; an unusable file has no tracks.
class Ativo {
 public:
  virtual ~Ativo() = default;
  // Video tracks in file order; empty when the file cannot be used.
  virtual std::vector<FaixaDeVideo> faixasDeVideo() = 0;
  // Duration in seconds.
  virtual double duracao() = 0;
  virtual std::unique_ptr<Gerador> criarGerador(const AjustesDoGerador& ajustes) = 0;
};

// Normalized to the image: 0..1 across, origin at the lower-left corner,
// y growing upwards. Values outside 0..1 are possible.
struct Retangulo {
  double x = 0, y = 0, largura = 0, altura = 0;
};

struct Rosto {
  Retangulo caixa;
  float confianca = 0;
};

// All faces found, in detection order; absent when the detector gave no list.
using ListaDeRostos = std::optional<std::vector<Rosto>>;

// The one face request of a run, performed once per frame.
class PedidoDeRostos {
 public:
  virtual ~PedidoDeRostos() = default;
  // Detects faces in an upright image. A failure carries no list.
  virtual Resultado<ListaDeRostos> executar(const Imagem& imagem) = 0;
};

class Plataforma {
 public:
  virtual ~Plataforma() = default;
  // `caminho` as given on the command line; relative to the working directory.
  virtual std::unique_ptr<Ativo> abrirAtivo(const std::string& caminho) = 0;
  // Fails when the detector cannot be set up (its model missing, say).
  virtual Resultado<std::unique_ptr<PedidoDeRostos>> criarPedido() = 0;
};

}  // namespace rosto
