#pragma once
// How much decoding one video may cost. The defaults bound a run by a 4K
// frame's memory whatever a file declares; tests and fuzzing tighten them.
#include <cstdint>
#include <limits>

namespace rosto::ffmpeg {

struct Limites {
  // Largest frame, in pixels: 4096 × 4096 admits 4K in either orientation.
  int64_t pixels = int64_t{4096} * 4096;
  // Frames decoded over the whole run.
  int64_t quadros = std::numeric_limits<int64_t>::max();
};

}  // namespace rosto::ffmpeg
