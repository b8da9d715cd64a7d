#include "escuta/linux/servidores.h"

#include <array>

#include "escuta/linux/pipewire/servidor_pipewire.h"

namespace escuta {

std::span<const ServidorConhecido> servidoresConhecidos() {
  static constexpr std::array<ServidorConhecido, 1> kServidores{{
      {"PipeWire", &sondarPipeWire},
  }};
  return kServidores;
}

Resultado<std::unique_ptr<ServidorDeSom>> escolherServidor(std::span<const ServidorConhecido> tabela) {
  std::string motivos;
  for (const ServidorConhecido& s : tabela) {
    Sondagem r = s.sondar();
    if (r.resposta == Sondagem::atende) return std::move(r.servidor);
    if (r.resposta == Sondagem::recusou) return Erro{std::string(s.nome) + ": " + r.motivo};
    motivos += (motivos.empty() ? "" : "; ") + std::string(s.nome) + ": " + r.motivo;
  }
  return Erro{motivos.empty() ? "nenhum servidor de som conhecido" : motivos};
}

}  // namespace escuta
