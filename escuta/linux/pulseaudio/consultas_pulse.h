#pragma once
// The server's clients and playback streams, read into plain data.
#include <pulse/pulseaudio.h>

#include <vector>

#include "escuta/linux/pulseaudio/aplicativos_pulse.h"
#include "escuta/linux/pulseaudio/conexao_pulse.h"

namespace escuta {

Propriedades propriedadesDe(const pa_proplist* lista);
ClientePulse clienteDe(const pa_client_info& info);
EntradaPulse entradaDe(const pa_sink_input_info& info);

// With the lock held: every client, every sink input; false when the server
// does not answer within `segundos`.
bool lerClientes(ConexaoPulse& conexao, std::vector<ClientePulse>& clientes, int segundos);
bool lerEntradas(ConexaoPulse& conexao, std::vector<EntradaPulse>& entradas, int segundos);

}  // namespace escuta
