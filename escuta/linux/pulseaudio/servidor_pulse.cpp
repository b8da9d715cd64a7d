#include "escuta/linux/pulseaudio/servidor_pulse.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "escuta/linux/insistir.h"
#include "escuta/linux/processos.h"
#include "escuta/linux/pulseaudio/captura_pulse.h"
#include "escuta/linux/pulseaudio/conexao_pulse.h"
#include "escuta/linux/pulseaudio/consultas_pulse.h"

namespace escuta {

namespace {

constexpr int kSegundosPorTentativa = 3;

class ServidorPulse : public ServidorDeSom {
 public:
  explicit ServidorPulse(std::unique_ptr<ConexaoPulse> conexao) : conexao_(std::move(conexao)) {}

  Resultado<std::vector<Aplicativo>> aplicativos() override {
    ConexaoPulse::Trava trava(*conexao_);
    std::vector<ClientePulse> clientes;
    std::vector<EntradaPulse> entradas;
    if (!lerClientes(*conexao_, clientes, kSegundosPorTentativa) ||
        !lerEntradas(*conexao_, entradas, kSegundosPorTentativa))
      return Erro{"o PulseAudio não respondeu"};
    return aplicativosDoPulse(clientes, entradas, getpid(), [](int32_t pid, const std::string& binario) {
      return executaOBinario(pid, binario);
    });
  }

  // The capture goes on over the probe's connection: a second one could be
  // refused in a burst.
  std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override {
    return criarFluxoPulse(conexao_, filtro, configuracao, delegado);
  }

 private:
  std::shared_ptr<ConexaoPulse> conexao_;
};

bool ehSoquete(const std::string& caminho) {
  struct stat s {};
  return stat(caminho.c_str(), &s) == 0 && S_ISSOCK(s.st_mode);
}

// Where libpulse looks when nothing names a server: the session's socket,
// then the system-wide daemon's. A named server is taken to be there.
bool haServidorParaRecusar() {
  if (std::getenv("PULSE_SERVER")) return true;
  if (const char* pasta = std::getenv("PULSE_RUNTIME_PATH"); pasta && ehSoquete(std::string(pasta) + "/native"))
    return true;
  if (const char* pasta = std::getenv("XDG_RUNTIME_DIR"); pasta && ehSoquete(std::string(pasta) + "/pulse/native"))
    return true;
  return ehSoquete("/var/run/pulse/native");
}

std::string nomeDoServidor(ConexaoPulse& conexao) {
  ConexaoPulse::Trava trava(conexao);
  std::string nome;
  pa_operation* op = pa_context_get_server_info(
      conexao.contexto(),
      [](pa_context*, const pa_server_info* info, void* d) {
        if (info && info->server_name) *static_cast<std::string*>(d) = info->server_name;
      },
      &nome);
  conexao.esperar(op, kSegundosPorTentativa);
  return nome;
}

Sondagem comoServidor(std::unique_ptr<ConexaoPulse> conexao) {
  const std::string nome = nomeDoServidor(*conexao);
  if (nome.empty()) return {Sondagem::ausente, nullptr, "o servidor não disse quem é"};
  if (nome.find("(on PipeWire") != std::string::npos) return {Sondagem::ausente, nullptr, nome};
  return {Sondagem::atende, std::make_unique<ServidorPulse>(std::move(conexao)), ""};
}

}  // namespace

Sondagem sondarPulseAudio() {
  std::string motivo;
  std::optional<Sondagem> r = insistir(kPrazoDeRecusas, [&]() -> std::optional<Sondagem> {
    auto conexao = ConexaoPulse::abrir(kSegundosPorTentativa);
    if (auto* c = std::get_if<std::unique_ptr<ConexaoPulse>>(&conexao)) return comoServidor(std::move(*c));
    const ConexaoPulse::Falha& falha = std::get<ConexaoPulse::Falha>(conexao);
    motivo = falha.descricao;
    if (falha.codigo == PA_ERR_ACCESS) return Sondagem{Sondagem::recusou, nullptr, motivo};
    if (falha.codigo == PA_ERR_CONNECTIONREFUSED && haServidorParaRecusar()) return std::nullopt;
    return Sondagem{Sondagem::ausente, nullptr, motivo};
  });
  return r ? std::move(*r) : Sondagem{Sondagem::ausente, nullptr, motivo};
}

}  // namespace escuta
