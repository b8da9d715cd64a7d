#pragma once
// What a capture accepts and how long it may take to begin, the same
// whichever sound server runs.
#include <cstdint>
#include <optional>

#include "escuta/plataforma.h"

namespace escuta {

// Measured with a program playing, on PipeWire 0.3.65 and 1.4, PulseAudio
// 16.1 and 17.0, and pipewire-pulse: PipeWire never delivers 20 Hz and
// below, and delivers 384 kHz at half the rate; below 100 Hz pipewire-pulse
// spends two to six times its CPU resampling for the capture (and
// PulseAudio three to ten times at 1 Hz, where the issue saw it killed).
inline constexpr int64_t kTaxaMinima = 100;
inline constexpr int64_t kTaxaMaxima = 192000;
// PulseAudio takes at most 32 channels; PipeWire is held to the same.
inline constexpr int64_t kCanaisMaximos = 32;
// A capture that has not begun by then is given up.
inline constexpr int kSegundosParaComecar = 5;
// Audio the reader of standard output may fall behind before the capture ends.
inline constexpr int kSegundosDeFolga = 30;

// Why the rate or the channel count cannot be captured; nothing when both can.
std::optional<Erro> validarFormato(const ConfiguracaoDoFluxo& configuracao);

}  // namespace escuta
