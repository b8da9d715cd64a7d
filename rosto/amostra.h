#pragma once
// What is done with one sample: detect faces, write diagnostics, write the record.
#include "rosto/plataforma.h"
#include "rosto/terminal.h"

namespace rosto {

struct ContextoDaAmostra {
  Terminal& saida;
  PedidoDeRostos& pedido;
  bool depurar;
};

// Always writes exactly one record line, whatever the extraction or the
// detection gave; diagnostic lines, when on, come before it.
void processarAmostra(const ContextoDaAmostra& contexto, double t, const Resultado<Imagem>& extraida);

}  // namespace rosto
