#pragma once
// The sound servers escuta knows, in the order they are asked: the first
// that owns the desktop's sound serves the whole run.
#include <span>

#include "escuta/linux/servidor_de_som.h"

namespace escuta {

struct ServidorConhecido {
  const char* nome;
  Sondagem (*sondar)();
};

std::span<const ServidorConhecido> servidoresConhecidos();

// The first server of `tabela` that answers. One that refuses access ends
// the search with its reason (another server would not be the one that
// plays the desktop's sound); none answering gives every reason.
Resultado<std::unique_ptr<ServidorDeSom>> escolherServidor(std::span<const ServidorConhecido> tabela);

}  // namespace escuta
