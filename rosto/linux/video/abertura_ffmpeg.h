#pragma once
// Opening a media file for reading, bounded in time and in what it reads.
#include <string>

#include "rosto/linux/video/ffmpeg_recursos.h"
#include "rosto/linux/video/limites_ffmpeg.h"
#include "rosto/resultado.h"

namespace rosto::ffmpeg {

// Opens a regular file and reads its stream information, within a deadline
// and without decoding frames larger than the limits allow. Anything else
// (a directory, a device, a FIFO nobody writes to) is refused up front, so
// probing can neither block nor read without end.
Resultado<Formato> abrirArquivo(const std::string& caminho, const Limites& limites = {});

// The index of the first video stream that is not an attached picture, or -1.
int primeiroFluxoDeVideo(const AVFormatContext& formato);

}  // namespace rosto::ffmpeg
