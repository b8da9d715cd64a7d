#pragma once
// PulseAudio as escuta's sound server.
#include "escuta/linux/servidor_de_som.h"

namespace escuta {

// Answers when a PulseAudio server takes a connection and is PulseAudio
// itself, not PipeWire's pipewire-pulse (which names itself "… (on PipeWire
// …)"). A refusal while a server's socket is there is retried for about 2 s:
// a server busy with a burst of clients refuses some, and that must not hand
// the choice to another server.
Sondagem sondarPulseAudio();

}  // namespace escuta
