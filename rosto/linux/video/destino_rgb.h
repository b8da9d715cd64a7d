#pragma once
// The packed RGB picture libswscale writes into. Its SIMD writers may store
// past the end of a row and of the last one, so the pixels come from FFmpeg's
// own allocator: rows aligned, lines padded, the buffer padded past its end.
#include "rosto/linux/video/ffmpeg_recursos.h"
#include "rosto/plataforma.h"

namespace rosto::ffmpeg {

class DestinoRGB {
 public:
  // A picture of largura × altura, kept while the size stays the same;
  // null when it cannot be allocated.
  AVFrame* preparar(int largura, int altura);

  // A view of the last picture prepared.
  Imagem imagem() const;

 private:
  Quadro quadro_{av_frame_alloc()};
};

}  // namespace rosto::ffmpeg
