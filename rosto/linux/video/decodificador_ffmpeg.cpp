#include "rosto/linux/video/decodificador_ffmpeg.h"

#include <algorithm>
#include <utility>

namespace rosto::ffmpeg {

Resultado<Decodificador> Decodificador::abrir(AVFormatContext* formato, int fluxo, const Limites& limites) {
  const AVStream* s = formato->streams[fluxo];
  const int64_t pixels = int64_t{s->codecpar->width} * s->codecpar->height;
  if (pixels > limites.pixels)
    return Erro{"quadro grande demais: " + std::to_string(s->codecpar->width) + "x" +
                std::to_string(s->codecpar->height)};
  const AVCodec* decodificador = avcodec_find_decoder(s->codecpar->codec_id);
  if (!decodificador) return Erro{"sem decodificador para " + std::string(avcodec_get_name(s->codecpar->codec_id))};
  Codec codec(avcodec_alloc_context3(decodificador));
  if (!codec) return Erro{textoDoErro(AVERROR(ENOMEM))};
  int r = avcodec_parameters_to_context(codec.get(), s->codecpar);
  if (r < 0) return Erro{textoDoErro(r)};
  codec->pkt_timebase = s->time_base;
  codec->thread_count = 2;
  codec->thread_type = FF_THREAD_FRAME;
  codec->max_pixels = limites.pixels;
  r = avcodec_open2(codec.get(), decodificador, nullptr);
  if (r < 0) return Erro{textoDoErro(r)};
  for (unsigned k = 0; k < formato->nb_streams; ++k)
    if (static_cast<int>(k) != fluxo) formato->streams[k]->discard = AVDISCARD_ALL;
  return Decodificador(formato, fluxo, std::move(codec), limites.quadros);
}

Decodificador::Decodificador(AVFormatContext* formato, int fluxo, Codec codec, int64_t limiteDeQuadros)
    : formato_(formato),
      fluxo_(fluxo),
      codec_(std::move(codec)),
      pacote_(av_packet_alloc()),
      adiante_(av_packet_alloc()),
      restantes_(limiteDeQuadros) {}

bool Decodificador::proximo(AVFrame* quadro) {
  if (restantes_ <= 0) return false;
  for (;;) {
    const int r = avcodec_receive_frame(codec_.get(), quadro);
    if (r == 0) {
      --restantes_;
      saltou_ = false;
      return true;
    }
    // EAGAIN means the decoder wants input first; anything else ends the stream.
    if (r != AVERROR(EAGAIN) || drenando_) {
      if (saltou_ && recomecarSemSaltos()) continue;
      return false;
    }
    if (!enviarProximoPacote()) {
      avcodec_send_packet(codec_.get(), nullptr);  // flush what the decoder still holds
      drenando_ = true;
    }
  }
}

bool Decodificador::lerPacoteDoFluxo(AVPacket* destino) {
  while (av_read_frame(formato_, destino) >= 0) {
    if (destino->stream_index == fluxo_) return true;
    av_packet_unref(destino);
  }
  return false;
}

bool Decodificador::enviarProximoPacote() {
  for (;;) {
    if (temAdiante_) {
      av_packet_move_ref(pacote_.get(), adiante_.get());
      temAdiante_ = false;
    } else if (!lerPacoteDoFluxo(pacote_.get())) {
      return false;
    }
    temAdiante_ = lerPacoteDoFluxo(adiante_.get());
    // Safe to skip only when a frame after this one still comes before the
    // wanted time: that later frame, not this one, is the one on display.
    const int64_t p = pacote_->pts, q = temAdiante_ ? adiante_->pts : AV_NOPTS_VALUE;
    const bool dispensavel = p != AV_NOPTS_VALUE && q != AV_NOPTS_VALUE && p < q && q < descartarAntes_;
    codec_->skip_frame = dispensavel ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    ultimoLido_ = pacote_->dts != AV_NOPTS_VALUE ? pacote_->dts : pacote_->pts;
    if ((pacote_->flags & AV_PKT_FLAG_KEY) && p != AV_NOPTS_VALUE && pacote_->dts != AV_NOPTS_VALUE)
      atraso_ = std::max(atraso_, p - pacote_->dts);
    const int r = avcodec_send_packet(codec_.get(), pacote_.get());
    av_packet_unref(pacote_.get());
    if (r == 0) return true;
    // A rejected packet (damaged data) is dropped; the next one may decode.
  }
}

void Decodificador::esvaziar() {
  avcodec_flush_buffers(codec_.get());
  if (temAdiante_) av_packet_unref(adiante_.get());
  temAdiante_ = false;
  drenando_ = false;
}

bool Decodificador::recomecarSemSaltos() {
  saltou_ = false;
  saltosDesligados_ = true;
  AVStream* s = formato_->streams[fluxo_];
  const int64_t inicio = s->start_time != AV_NOPTS_VALUE ? s->start_time : INT64_MIN;
  // Byte 0 is the surest start where the demuxer allows it (MP4's does not).
  if (avformat_seek_file(formato_, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) < 0 &&
      avformat_seek_file(formato_, fluxo_, INT64_MIN, inicio, inicio, 0) < 0)
    return false;
  esvaziar();
  ultimoLido_ = INT64_MIN;
  return true;
}

bool Decodificador::saltarSeVale(int64_t pts) {
  if (saltosDesligados_) return false;
  AVStream* s = formato_->streams[fluxo_];
  // A keyframe whose decode time is at most pts − atraso_ shows at or before pts.
  const int k = av_index_search_timestamp(s, pts - atraso_, AVSEEK_FLAG_BACKWARD);
  if (k < 0) return false;
  // The entry lives in the stream's index, which seeking may grow and move:
  // keep its time, never the pointer.
  const AVIndexEntry* entrada = avformat_index_get_entry(s, k);
  if (!entrada || entrada->timestamp <= ultimoLido_) return false;
  const int64_t chave = entrada->timestamp;
  // The demuxer finds the keyframe for a presentation time itself; index
  // times are its own business (decode times, edit-list shifts).
  if (avformat_seek_file(formato_, fluxo_, INT64_MIN, pts, pts, 0) < 0) return false;
  esvaziar();
  saltou_ = true;
  ultimoLido_ = chave;
  return true;
}

}  // namespace rosto::ffmpeg
