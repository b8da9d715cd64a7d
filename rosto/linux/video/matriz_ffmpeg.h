#pragma once
// A video stream's display matrix (nine 32-bit values: 16.16 fixed point
// a, b, c, d, tx, ty and the projective column), or null when it has none.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace rosto::ffmpeg {

const int32_t* matrizDeExibicao(const AVStream& fluxo);

}  // namespace rosto::ffmpeg
