#include "escuta/linux/servidores.h"

#include <array>
#include <vector>

#include "escuta/linux/pipewire/servidor_pipewire.h"
#include "escuta/linux/pulseaudio/servidor_pulse.h"

namespace escuta {

namespace {

// One line per server, in words a packager can act on.
std::string comoRespondeu(const ServidorConhecido& s, const Sondagem& r, bool usado) {
  const std::string nome = std::string(s.nome) + ": ";
  switch (r.resposta) {
    case Sondagem::atende:
      return nome + "em uso";
    case Sondagem::porOutro:
      return nome + r.motivo + (usado ? "; em uso" : "; não usado");
    case Sondagem::recusou:
      return nome + "recusou o acesso: " + r.motivo;
    default:
      return nome + r.motivo;
  }
}

}  // namespace

std::span<const ServidorConhecido> servidoresConhecidos() {
  // PulseAudio first: where it runs it owns the sound, even with a PipeWire
  // beside it for screen sharing. Where PipeWire owns the sound, its
  // pipewire-pulse answers for it: PipeWire's own socket is used when it can
  // be reached (a sandbox may grant only the PulseAudio one).
  static constexpr std::array<ServidorConhecido, 2> kServidores{{
      {"PulseAudio", &sondarPulseAudio},
      {"PipeWire", &sondarPipeWire},
  }};
  return kServidores;
}

Resultado<std::unique_ptr<ServidorDeSom>> escolherServidor(std::span<const ServidorConhecido> tabela,
                                                          const Diagnostico& diagnosticar) {
  std::vector<std::pair<const ServidorConhecido*, Sondagem>> respostas;
  respostas.reserve(tabela.size());  // `escolhida` points into it
  Sondagem* escolhida = nullptr;
  std::string motivos;
  for (const ServidorConhecido& s : tabela) {
    Sondagem& r = respostas.emplace_back(&s, s.sondar()).second;
    if (r.resposta == Sondagem::porOutro && !escolhida) escolhida = &r;
    if (r.resposta == Sondagem::atende) {
      escolhida = &r;
      break;
    }
    if (r.resposta == Sondagem::recusou) {
      if (!escolhida) motivos = std::string(s.nome) + ": " + r.motivo;
      break;
    }
    motivos += (motivos.empty() ? "" : "; ") + std::string(s.nome) + ": " + r.motivo;
  }
  if (diagnosticar)
    for (const auto& [s, r] : respostas) diagnosticar(comoRespondeu(*s, r, &r == escolhida));
  if (escolhida) return std::move(escolhida->servidor);
  return Erro{motivos.empty() ? "nenhum servidor de som conhecido" : motivos};
}

}  // namespace escuta
