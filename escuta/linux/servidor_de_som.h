#pragma once
// One sound server as escuta uses it: the applications it knows and a
// capture of what they play. Each server's backend has its own folder.
#include <memory>
#include <string>
#include <vector>

#include "escuta/plataforma.h"

namespace escuta {

class ServidorDeSom {
 public:
  virtual ~ServidorDeSom() = default;
  // One entry per running process that is a client of the server, never the
  // server's own nor this process; an error when the server cannot be asked.
  virtual Resultado<std::vector<Aplicativo>> aplicativos() = 0;
  // Every program's sound but the excluded applications'; `delegado` must outlive the stream.
  virtual std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                            DelegadoDoFluxo& delegado) = 0;
};

// How a server answered the question "do you own this desktop's sound?".
struct Sondagem {
  enum Resposta { atende, ausente, recusou } resposta = ausente;
  std::unique_ptr<ServidorDeSom> servidor;  // when it answers
  std::string motivo;                       // why not, for the others
};

}  // namespace escuta
