#include "rosto/linux/video/duracao_ffmpeg.h"

#include <algorithm>

#include "rosto/linux/video/abertura_ffmpeg.h"
#include "rosto/linux/video/tempo_ffmpeg.h"

namespace rosto::ffmpeg {

namespace {

bool declarada(const AVFormatContext& f) {
  return f.duration != AV_NOPTS_VALUE && f.duration >= 0 &&
         f.duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
}

// Demuxing only: packets carry their times, nothing needs decoding.
double medir(const std::string& caminho, int fluxo, const Limites& limites) {
  Resultado<Formato> aberto = abrirArquivo(caminho, limites);
  if (!aberto.ok()) return 0;
  AVFormatContext* f = aberto.valor().get();
  if (fluxo >= static_cast<int>(f->nb_streams)) return 0;
  for (unsigned k = 0; k < f->nb_streams; ++k)
    if (static_cast<int>(k) != fluxo) f->streams[k]->discard = AVDISCARD_ALL;
  const AVStream* s = f->streams[fluxo];
  const int64_t intervalo = intervaloNominal(*s);
  int64_t inicio = INT64_MAX, fim = INT64_MIN;
  Pacote pacote(av_packet_alloc());
  while (av_read_frame(f, pacote.get()) >= 0) {
    const bool conta = pacote->stream_index == fluxo && pacote->pts != AV_NOPTS_VALUE &&
                       !(pacote->flags & AV_PKT_FLAG_DISCARD);
    if (conta) {
      inicio = std::min(inicio, pacote->pts);
      fim = std::max(fim, pacote->pts + (pacote->duration > 0 ? pacote->duration : intervalo));
    }
    av_packet_unref(pacote.get());
  }
  if (fim < inicio) return 0;
  return static_cast<double>(fim - inicio) * av_q2d(s->time_base);
}

}  // namespace

// Time zero is the stream's first frame. A duration the stream itself
// declares counts from there. Otherwise most containers count their duration
// from zero (so a stream starting late ends sooner), and durations FFmpeg
// derived from timestamps count from the file's start time instead; which
// of the two a container's declared duration is changed between FFmpeg
// releases (MP4 from 7.0 on), so the stream's own comes first.
double duracaoDe(const AVFormatContext& formato, int fluxo, const std::string& caminho, const Limites& limites) {
  if (!declarada(formato)) return medir(caminho, fluxo, limites);
  const AVStream* s = formato.streams[fluxo];
  if (formato.duration_estimation_method == AVFMT_DURATION_FROM_STREAM && s->duration != AV_NOPTS_VALUE &&
      s->duration > 0)
    return static_cast<double>(s->duration) * av_q2d(s->time_base);
  const double declarado = static_cast<double>(formato.duration) / AV_TIME_BASE;
  const double primeiro = s->start_time != AV_NOPTS_VALUE ? s->start_time * av_q2d(s->time_base) : 0.0;
  double fim = declarado;
  if (formato.duration_estimation_method == AVFMT_DURATION_FROM_PTS && formato.start_time != AV_NOPTS_VALUE)
    fim += static_cast<double>(formato.start_time) / AV_TIME_BASE;
  else if (primeiro < 0)
    return declarado;  // frames before zero are pre-roll, not shown
  return std::max(0.0, fim - primeiro);
}

}  // namespace rosto::ffmpeg
