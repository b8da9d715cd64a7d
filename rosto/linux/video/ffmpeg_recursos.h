#pragma once
// Owning handles for the FFmpeg objects rosto uses, freed by their own API.
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace rosto::ffmpeg {

// A context opened by abrirArquivo keeps its open deadline in `opaque`:
// the I/O layer holds on to the interrupt callback for the context's life.
struct FechaFormato {
  void operator()(AVFormatContext* f) const;
};
struct LiberaCodec {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct LiberaQuadro {
  void operator()(AVFrame* q) const { av_frame_free(&q); }
};
struct LiberaPacote {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct LiberaEscalador {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

using Formato = std::unique_ptr<AVFormatContext, FechaFormato>;
using Codec = std::unique_ptr<AVCodecContext, LiberaCodec>;
using Quadro = std::unique_ptr<AVFrame, LiberaQuadro>;
using Pacote = std::unique_ptr<AVPacket, LiberaPacote>;
using Escalador = std::unique_ptr<SwsContext, LiberaEscalador>;

inline std::string textoDoErro(int codigo) {
  char texto[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(codigo, texto, sizeof texto);
  return texto;
}

}  // namespace rosto::ffmpeg
