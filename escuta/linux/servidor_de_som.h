#pragma once
// One sound server as escuta uses it: the programs connected to it and a
// capture of what they play. Each server's backend has its own folder.
#include <memory>
#include <string>
#include <vector>

#include "escuta/linux/aplicativos/arvore.h"
#include "escuta/linux/aplicativos/exclusao.h"
#include "escuta/linux/aplicativos/fontes.h"
#include "escuta/plataforma.h"

namespace escuta {

class ServidorDeSom {
 public:
  virtual ~ServidorDeSom() = default;
  // Every connection of a running program to the server, as the program
  // described itself, never the server's own nor this process's; an error
  // when the server cannot be asked. `arvore` is the look at the system's
  // processes the listing judges them by.
  virtual Resultado<std::vector<ClienteDeSom>> clientes(Arvore& arvore) = 0;
  // Every program's sound but what `exclusao` leaves out; `delegado` must outlive the stream.
  virtual std::unique_ptr<Fluxo> criarFluxo(std::shared_ptr<const Exclusao> exclusao,
                                            const ConfiguracaoDoFluxo& configuracao, DelegadoDoFluxo& delegado) = 0;
};

// How a server answered the question "do you own this desktop's sound?".
// `porOutro`: it answers, but on behalf of a server further down the table
// (pipewire-pulse for PipeWire), which is better asked itself first.
struct Sondagem {
  enum Resposta { atende, ausente, recusou, porOutro } resposta = ausente;
  std::unique_ptr<ServidorDeSom> servidor;  // when it answers, for itself or for another
  std::string motivo;                       // why not, or for whom, in words
};

}  // namespace escuta
