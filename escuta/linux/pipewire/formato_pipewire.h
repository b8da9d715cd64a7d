#pragma once
// The capture's format in PipeWire's terms.
#include <spa/param/audio/raw.h>

#include "escuta/plataforma.h"

namespace escuta {

// F32LE at the requested rate, channels and their usual positions.
spa_audio_info_raw formatoPedido(const ConfiguracaoDoFluxo& configuracao);

// The capture node's input ports: every speaker position a program or device
// commonly plays (7.1 and the rear centre), so each source channel lands on
// its own position and PipeWire's channel mixer folds them into the requested
// layout. Beyond eight channels the requested layout itself.
spa_audio_info_raw formatoDasPortas(const ConfiguracaoDoFluxo& configuracao);

}  // namespace escuta
