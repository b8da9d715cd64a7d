#pragma once
// The sound servers escuta knows, in the order they are asked: the first
// that owns the desktop's sound serves the whole run.
#include <functional>
#include <span>
#include <string>

#include "escuta/linux/servidor_de_som.h"

namespace escuta {

struct ServidorConhecido {
  const char* nome;
  Sondagem (*sondar)();
};

std::span<const ServidorConhecido> servidoresConhecidos();

// Told one line per server asked, in order, once the choice is made: how it answered.
using Diagnostico = std::function<void(const std::string&)>;

// The first server of `tabela` that answers for itself; else the first that
// answered for another, when that other did not. One that refuses access
// ends the search with its reason (another server would not be the one that
// plays the desktop's sound); none answering gives every reason.
Resultado<std::unique_ptr<ServidorDeSom>> escolherServidor(std::span<const ServidorConhecido> tabela,
                                                          const Diagnostico& diagnosticar = nullptr);

}  // namespace escuta
