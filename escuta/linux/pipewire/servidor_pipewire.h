#pragma once
// PipeWire as escuta's sound server.
#include "escuta/linux/servidor_de_som.h"

namespace escuta {

// Answers when a PipeWire daemon takes a connection.
Sondagem sondarPipeWire();

}  // namespace escuta
