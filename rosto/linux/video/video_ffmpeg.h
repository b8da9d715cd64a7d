#pragma once
// Video files through FFmpeg's libraries.
#include <memory>
#include <string>

#include "rosto/linux/video/limites_ffmpeg.h"
#include "rosto/plataforma.h"

namespace rosto {

// Opens `caminho`; a file that cannot be opened or probed has no tracks.
std::unique_ptr<Ativo> abrirAtivoFFmpeg(const std::string& caminho, const ffmpeg::Limites& limites = {});

}  // namespace rosto
