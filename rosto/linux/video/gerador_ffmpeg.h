#pragma once
// Extracts upright, scaled-down RGB frames at increasing times.
#include <memory>
#include <vector>

#include "rosto/linux/video/decodificador_ffmpeg.h"
#include "rosto/linux/video/destino_rgb.h"
#include "rosto/linux/video/orientacao.h"
#include "rosto/linux/video/tempo_ffmpeg.h"
#include "rosto/plataforma.h"

namespace rosto::ffmpeg {

// For a request r the frame is the first starting in [r, r + tolerance];
// when none starts there, the one on display at r; at the end of the video
// (up to one tolerance past it) the last frame; further on, an error.
// Requests are expected in increasing order: decoding only moves forward.
class GeradorFFmpeg : public Gerador {
 public:
  GeradorFFmpeg(std::shared_ptr<AVFormatContext> formato, int fluxo, const AjustesDoGerador& ajustes,
                const Transformacao& transformacao, double duracao, const Limites& limites = {});
  Resultado<Imagem> imagemEm(Tempo quando) override;

 private:
  struct Retido {
    Quadro quadro{av_frame_alloc()};
    int64_t pts = 0;  // relative to the first frame
    bool presente = false;
  };

  void iniciar();
  void decodificarAte(Fracao pedido);
  bool avancar();
  bool passouDoFim(Fracao pedido) const;
  Resultado<Imagem> converter(const AVFrame& quadro);

  std::shared_ptr<AVFormatContext> formato_;
  std::optional<Decodificador> decodificador_;
  Erro erroDeAbertura_;
  AjustesDoGerador ajustes_;
  Orientacao orientacao_;
  double duracao_;
  AVRational base_{1, 1};
  int64_t origem_ = 0;
  int64_t intervalo_ = 1;  // nominal frame spacing, for frames without timestamps
  bool iniciado_ = false;
  bool fim_ = false;
  Retido anterior_, atual_;
  Escalador escalador_;
  DestinoRGB escalado_;
  std::vector<uint8_t> girado_;
};

}  // namespace rosto::ffmpeg
