#pragma once
#include <string>

#include "rosto/linux/video/limites_ffmpeg.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace rosto::ffmpeg {

// The container's declared duration in seconds; when it declares none (or
// only a guess from the bit rate), the end of the last frame of stream
// `fluxo`, found by reading the file through (opened again within `limites`),
// measured from its first frame.
double duracaoDe(const AVFormatContext& formato, int fluxo, const std::string& caminho, const Limites& limites);

}  // namespace rosto::ffmpeg
