#include "escuta/linux/pulseaudio/servidor_pulse.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "escuta/linux/insistir.h"
#include "escuta/linux/processos.h"
#include "escuta/linux/pulseaudio/captura_pulse.h"
#include "escuta/linux/pulseaudio/conexao_pulse.h"
#include "escuta/linux/pulseaudio/consultas_pulse.h"

namespace escuta {

namespace {

constexpr int kSegundosPorTentativa = 3;
// Far longer than a server takes to see a closed socket.
constexpr std::chrono::milliseconds kPrazoParaSair{500};

// /proc's answer, asked once per process, so a client is judged on one state
// of it even when the listing looks twice.
ConfereProcesso umaOlhadaPorProcesso() {
  auto vistos = std::make_shared<std::map<std::pair<int32_t, std::string>, bool>>();
  return [vistos](int32_t pid, const std::string& binario) {
    auto [visto, novo] = vistos->try_emplace({pid, binario});
    if (novo) visto->second = executaOBinario(pid, binario);
    return visto->second;
  };
}

class ServidorPulse : public ServidorDeSom {
 public:
  explicit ServidorPulse(std::unique_ptr<ConexaoPulse> conexao) : conexao_(std::move(conexao)) {}

  Resultado<std::vector<Aplicativo>> aplicativos() override {
    ConexaoPulse::Trava trava(*conexao_);
    std::set<uint32_t> sairam;
    conexao_->aoMudar = [&sairam](pa_subscription_event_type_t evento, uint32_t indice) {
      if ((evento & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_REMOVE) sairam.insert(indice);
    };
    std::vector<ClientePulse> clientes;
    std::vector<EntradaPulse> entradas;
    // Subscribed before the lists are read, so no departure is missed.
    const bool leu = conexao_->esperar(pa_context_subscribe(conexao_->contexto(), PA_SUBSCRIPTION_MASK_CLIENT,
                                                            nullptr, nullptr),
                                       kSegundosPorTentativa) &&
                     lerClientes(*conexao_, clientes, kSegundosPorTentativa) &&
                     lerEntradas(*conexao_, entradas, kSegundosPorTentativa);
    const ConfereProcesso confere = umaOlhadaPorProcesso();
    if (leu) esperarQueSaiam(clientes, sairam, confere);
    conexao_->aoMudar = nullptr;
    if (!leu) return Erro{"o PulseAudio não respondeu"};
    std::erase_if(clientes, [&](const ClientePulse& c) { return sairam.contains(c.indice); });
    return aplicativosDoPulse(clientes, entradas, getpid(), confere);
  }

  // The capture goes on over the probe's connection: a second one could be
  // refused in a burst.
  std::unique_ptr<Fluxo> criarFluxo(const FiltroDeConteudo& filtro, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override {
    return criarFluxoPulse(conexao_, filtro, configuracao, delegado);
  }

 private:
  // A program that has just ended is still the server's client for a moment;
  // listed, it would be a stranger whose pid is no process. A sandboxed
  // program's pid may be no process here either: it stays once the wait ends.
  void esperarQueSaiam(const std::vector<ClientePulse>& clientes, const std::set<uint32_t>& sairam,
                       const ConfereProcesso& confere) {
    std::vector<uint32_t> semProcesso;
    for (const ClientePulse& c : clientes) {
      const std::optional<uint32_t> pid = numeroDe(c.props, "application.process.id");
      if (!pid || *pid > INT32_MAX) continue;
      const auto p = static_cast<int32_t>(*pid);
      // Looked at after the pid was judged, so one that ended in between is seen gone.
      if (!confere(p, valorDe(c.props, "application.process.binary")) && !processoExiste(p))
        semProcesso.push_back(c.indice);
    }
    conexao_->esperarQue(
        [&] { return std::all_of(semProcesso.begin(), semProcesso.end(), [&](uint32_t i) { return sairam.contains(i); }); },
        kPrazoParaSair);
  }

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
