#include "rosto/linux/video/matriz_ffmpeg.h"

namespace rosto::ffmpeg {

const int32_t* matrizDeExibicao(const AVStream& fluxo) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 29, 100)
  // Since FFmpeg 6.1 stream side data lives in the codec parameters; the
  // stream-level call is deprecated.
  const AVPacketSideData* dados = av_packet_side_data_get(
      fluxo.codecpar->coded_side_data, fluxo.codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
  const bool inteira = dados && dados->size >= 9 * sizeof(int32_t);
  return inteira ? reinterpret_cast<const int32_t*>(dados->data) : nullptr;
#else
  size_t tamanho = 0;
  const uint8_t* dados = av_stream_get_side_data(&fluxo, AV_PKT_DATA_DISPLAYMATRIX, &tamanho);
  return dados && tamanho >= 9 * sizeof(int32_t) ? reinterpret_cast<const int32_t*>(dados) : nullptr;
#endif
}

}  // namespace rosto::ffmpeg
