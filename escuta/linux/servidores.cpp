#include "escuta/linux/servidores.h"

#include <array>

#include "escuta/linux/pipewire/servidor_pipewire.h"
#include "escuta/linux/pulseaudio/servidor_pulse.h"

namespace escuta {

std::span<const ServidorConhecido> servidoresConhecidos() {
  // PulseAudio first: where it runs it owns the sound, even with a PipeWire
  // beside it for screen sharing; where PipeWire owns the sound, its
  // pipewire-pulse is not taken for PulseAudio.
  static constexpr std::array<ServidorConhecido, 2> kServidores{{
      {"PulseAudio", &sondarPulseAudio},
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
