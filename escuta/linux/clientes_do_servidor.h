#pragma once
// The sound server's own connections, as its clients list shows them: never
// an application, whichever server or protocol lists them.
#include "escuta/linux/propriedades.h"

namespace escuta {

// The session manager, and the daemons themselves (pipewire-pulse is the
// pipewire binary under another configuration; PulseAudio may talk to itself).
bool ehDoServidor(const Propriedades& props);

}  // namespace escuta
