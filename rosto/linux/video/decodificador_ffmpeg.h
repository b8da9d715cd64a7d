#pragma once
// Decodes one video stream forward, frame by frame, in presentation order,
// and jumps ahead to a keyframe when that saves decoding.
#include <cstdint>

#include "rosto/linux/video/ffmpeg_recursos.h"
#include "rosto/linux/video/limites_ffmpeg.h"
#include "rosto/resultado.h"

namespace rosto::ffmpeg {

class Decodificador {
 public:
  // `formato` must outlive the decoder; packets of other streams are discarded.
  // A stream declaring frames beyond the limits is refused; frames growing
  // beyond them later are dropped by the decoder.
  static Resultado<Decodificador> abrir(AVFormatContext* formato, int fluxo, const Limites& limites = {});

  // The next frame into `quadro`; false at the end of the stream, or once
  // the limit of decoded frames is reached.
  // Packets the decoder rejects are skipped: a damaged stretch costs frames,
  // not the rest of the video.
  bool proximo(AVFrame* quadro);

  // When the keyframe at or before `pts` lies beyond what has been read,
  // seeks to it and flushes the decoder. Returns whether it did; frames held
  // by the caller are then stale. Some demuxers index frames that are not
  // keyframes (MPEG-PS): when a jump leads to no frame at all, decoding
  // starts over from the beginning and never jumps again.
  bool saltarSeVale(int64_t pts);

  // Frames earlier than `pts` are wanted only when no later frame also
  // precedes `pts`; the decoder may then skip those no other frame refers to.
  void descartarAntesDe(int64_t pts) { descartarAntes_ = pts; }

 private:
  Decodificador(AVFormatContext* formato, int fluxo, Codec codec, int64_t limiteDeQuadros);
  bool enviarProximoPacote();
  bool lerPacoteDoFluxo(AVPacket* destino);
  bool recomecarSemSaltos();
  void esvaziar();

  AVFormatContext* formato_;
  int fluxo_;
  Codec codec_;
  Pacote pacote_;
  Pacote adiante_;  // the packet after pacote_, read early to decide on skipping
  bool temAdiante_ = false;
  bool drenando_ = false;
  bool saltou_ = false;          // a jump was made and no frame has come since
  bool saltosDesligados_ = false;
  int64_t restantes_;  // frames still allowed
  int64_t ultimoLido_ = INT64_MIN;  // decode timestamp of the last packet sent
  int64_t descartarAntes_ = INT64_MIN;
  // The largest pts − dts of a keyframe seen: index entries carry decode
  // times, which trail a keyframe's presentation by this much.
  int64_t atraso_ = 0;
};

}  // namespace rosto::ffmpeg
