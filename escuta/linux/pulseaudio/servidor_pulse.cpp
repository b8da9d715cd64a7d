#include "escuta/linux/pulseaudio/servidor_pulse.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "escuta/linux/aplicativos/identidade.h"
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
  // `pidsDaqui`: the server's clients' pids are this /proc's (not so inside a sandbox).
  ServidorPulse(std::unique_ptr<ConexaoPulse> conexao, bool sobrePipeWire, bool pidsDaqui)
      : conexao_(std::move(conexao)), sobrePipeWire_(sobrePipeWire), pidsDaqui_(pidsDaqui) {}

  Resultado<std::vector<ClienteDeSom>> clientes(Arvore& arvore) override {
    ConexaoPulse::Trava trava(*conexao_);
    std::set<uint32_t> sairam;
    // Subscribed before the lists are read, so no departure is missed.
    std::optional<ConexaoPulse::Inscricao> inscricao = conexao_->inscrever(
        {PA_SUBSCRIPTION_MASK_CLIENT,
         [&sairam](pa_subscription_event_type_t evento, uint32_t indice) {
           if ((evento & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_REMOVE) sairam.insert(indice);
         },
         nullptr},
        kSegundosPorTentativa);
    std::vector<ClientePulse> clientes;
    std::vector<EntradaPulse> entradas;
    const bool leu = inscricao && lerClientes(*conexao_, clientes, kSegundosPorTentativa) &&
                     lerEntradas(*conexao_, entradas, kSegundosPorTentativa);
    // Outside this pid namespace, a program that has ended cannot be told
    // from one running: none is waited for (nor will it get a pid).
    if (leu && pidsDaqui_) esperarQueSaiam(clientes, sairam, arvore);
    inscricao.reset();
    if (!leu) return Erro{"o PulseAudio não respondeu"};
    std::erase_if(clientes, [&](const ClientePulse& c) { return sairam.contains(c.indice); });
    return clientesDoPulse(clientes, entradas, getpid());
  }

  // The capture goes on over the probe's connection: a second one could be
  // refused in a burst.
  std::unique_ptr<Fluxo> criarFluxo(std::shared_ptr<const Exclusao> exclusao, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override {
    return criarFluxoPulse(conexao_, sobrePipeWire_, std::move(exclusao), configuracao, delegado);
  }

 private:
  // The clients whose program has ended (see kPrazoParaSair), judged on the listing's own look at each process.
  void esperarQueSaiam(const std::vector<ClientePulse>& clientes, const std::set<uint32_t>& sairam, Arvore& arvore) {
    std::vector<uint32_t> acabaram;
    for (const ClientePulse& c : clientes)
      if (semProcesso(clienteDeSom(c), arvore)) acabaram.push_back(c.indice);
    conexao_->esperarQue(
        [&] { return std::all_of(acabaram.begin(), acabaram.end(), [&](uint32_t i) { return sairam.contains(i); }); },
        kPrazoParaSair);
  }

  std::shared_ptr<ConexaoPulse> conexao_;
  const bool sobrePipeWire_;
  const bool pidsDaqui_;
};

bool ehSoquete(const std::string& caminho) {
  struct stat s {};
  return stat(caminho.c_str(), &s) == 0 && S_ISSOCK(s.st_mode);
}

// Where libpulse looks for its server: the one PULSE_SERVER names (its first;
// one that is not a local socket is taken to be there), else the session's
// socket, then the system-wide daemon's. The first that is there, or where
// the session's would be.
struct Soquete {
  std::string caminho;
  bool existe = false;
};

// The socket of a server named as libpulse names them ("unix:/run/…/native",
// a bare path, "{machine id}…", the first of a list); empty for a server
// reached otherwise (tcp:, a host name).
std::string caminhoDoSoquete(const std::string& servidor) {
  std::string s = servidor.substr(0, servidor.find(' '));
  if (s.starts_with("{")) s.erase(0, s.find('}') + 1);
  if (s.starts_with("unix:")) s.erase(0, 5);
  return s.starts_with("/") ? s : "";
}

Soquete soqueteDoPulse() {
  if (const char* nomeado = std::getenv("PULSE_SERVER"); nomeado && *nomeado) {
    const std::string caminho = caminhoDoSoquete(nomeado);
    return caminho.empty() ? Soquete{nomeado, true} : Soquete{caminho, ehSoquete(caminho)};
  }
  std::vector<std::string> lugares;
  if (const char* pasta = std::getenv("PULSE_RUNTIME_PATH")) lugares.push_back(std::string(pasta) + "/native");
  if (const char* pasta = std::getenv("XDG_RUNTIME_DIR")) lugares.push_back(std::string(pasta) + "/pulse/native");
  lugares.push_back("/var/run/pulse/native");
  for (const std::string& l : lugares)
    if (ehSoquete(l)) return {l, true};
  return {lugares.front(), false};
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

// PipeWire's pipewire-pulse names itself "PulseAudio (on PipeWire x.y.z)":
// it serves, but PipeWire's own socket serves better where it is reachable.
Sondagem comoServidor(std::unique_ptr<ConexaoPulse> conexao) {
  const std::string nome = nomeDoServidor(*conexao);
  if (nome.empty()) return {Sondagem::ausente, nullptr, "o servidor não disse quem é"};
  const bool sobrePipeWire = nome.find("(on PipeWire") != std::string::npos;
  std::string soquete;
  {
    ConexaoPulse::Trava trava(*conexao);
    if (const char* servidor = pa_context_get_server(conexao->contexto())) soquete = caminhoDoSoquete(servidor);
  }
  const bool pidsDaqui = pidsSaoDaqui(soquete).value_or(true);
  auto servidor = std::make_unique<ServidorPulse>(std::move(conexao), sobrePipeWire, pidsDaqui);
  if (sobrePipeWire) return {Sondagem::porOutro, std::move(servidor), "PipeWire por trás do pipewire-pulse (" + nome + ")"};
  return {Sondagem::atende, std::move(servidor), ""};
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
    if (falha.codigo != PA_ERR_CONNECTIONREFUSED) return Sondagem{Sondagem::ausente, nullptr, motivo};
    const Soquete soquete = soqueteDoPulse();
    if (!soquete.existe) return Sondagem{Sondagem::ausente, nullptr, "sem soquete em " + soquete.caminho};
    motivo = "recusou a conexão: " + falha.descricao;
    return std::nullopt;
  });
  return r ? std::move(*r) : Sondagem{Sondagem::ausente, nullptr, motivo};
}

}  // namespace escuta
