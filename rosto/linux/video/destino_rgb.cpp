#include "rosto/linux/video/destino_rgb.h"

namespace rosto::ffmpeg {

AVFrame* DestinoRGB::preparar(int largura, int altura) {
  AVFrame* q = quadro_.get();
  if (!q) return nullptr;
  if (q->data[0] && q->width == largura && q->height == altura) return q;
  av_frame_unref(q);
  q->format = AV_PIX_FMT_RGB24;
  q->width = largura;
  q->height = altura;
  // Alignment 0 lets FFmpeg pick what this CPU's widest SIMD needs.
  if (av_frame_get_buffer(q, 0) < 0) {
    av_frame_unref(q);
    return nullptr;
  }
  return q;
}

Imagem DestinoRGB::imagem() const {
  const AVFrame* q = quadro_.get();
  return {q->width, q->height, q->linesize[0], q->data[0]};
}

}  // namespace rosto::ffmpeg
