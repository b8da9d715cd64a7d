#pragma once
// What a capture accepts and how long it may take to begin, the same
// whichever sound server runs.
#include <cstdint>
#include <optional>

#include "escuta/plataforma.h"

namespace escuta {

inline constexpr int64_t kTaxaMaxima = 384000;
// PulseAudio takes at most 32 channels; PipeWire is held to the same.
inline constexpr int64_t kCanaisMaximos = 32;
// A capture that has not begun by then is given up.
inline constexpr int kSegundosParaComecar = 5;
// Audio the reader of standard output may fall behind before the capture ends.
inline constexpr int kSegundosDeFolga = 30;

// Why the rate or the channel count cannot be captured; nothing when both can.
std::optional<Erro> validarFormato(const ConfiguracaoDoFluxo& configuracao);

}  // namespace escuta
