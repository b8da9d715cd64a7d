#include "escuta/linux/pipewire/servidor_pipewire.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "escuta/linux/aplicativos/identidade.h"
#include "escuta/linux/insistir.h"
#include "escuta/linux/pipewire/aplicativos.h"
#include "escuta/linux/pipewire/captura_pipewire.h"
#include "escuta/linux/pipewire/conexao_pipewire.h"
#include "escuta/linux/processos.h"

namespace escuta {

namespace {

constexpr int kRodadasPorRetardatarios = 5;
constexpr std::chrono::milliseconds kPasso{10};
// A daemon answers its clients within milliseconds; one that keeps a
// sandboxed client waiting for the session manager's grant may never answer.
constexpr std::chrono::milliseconds kPrazoDaResposta{1000};

bool algumIncompleto(const Grafo& grafo) {
  return std::any_of(grafo.clientes.begin(), grafo.clientes.end(), [](const ClienteDoGrafo& c) { return !c.completo; });
}

// With the lock held: until no client's program has ended (see kPrazoParaSair), judged on the listing's look.
void esperarQueSaiam(ConexaoPipeWire& conexao, Arvore& arvore) {
  const auto fim = std::chrono::steady_clock::now() + kPrazoParaSair;
  for (;;) {
    const std::vector<ClienteDeSom> clientes = clientesDe(conexao.grafo(), getpid());
    const bool algum = std::any_of(clientes.begin(), clientes.end(), [&](const ClienteDeSom& c) { return semProcesso(c, arvore); });
    if (!algum || std::chrono::steady_clock::now() >= fim) return;
    pw_thread_loop_unlock(conexao.laco());
    std::this_thread::sleep_for(kPasso);
    pw_thread_loop_lock(conexao.laco());
    if (!conexao.sincronizar()) return;
  }
}

class ServidorPipeWire : public ServidorDeSom {
 public:
  explicit ServidorPipeWire(std::unique_ptr<ConexaoPipeWire> conexao) : conexao_(std::move(conexao)) {}

  // The probe's connection answers the listing; a capture opens its own.
  Resultado<std::vector<ClienteDeSom>> clientes(Arvore& arvore) override {
    std::unique_ptr<ConexaoPipeWire> conexao = std::move(conexao_);
    if (!conexao) {
      Resultado<std::unique_ptr<ConexaoPipeWire>> nova = ConexaoPipeWire::abrir();
      if (!nova.ok()) return nova.erro();
      conexao = std::move(nova.valor());
    }
    ConexaoPipeWire::Trava trava(*conexao);
    // Bound clients and nodes send their full properties after the first
    // round trip; one that appeared meanwhile gets a few more.
    if (!conexao->sincronizar()) return Erro{"o PipeWire não respondeu"};
    for (int k = 0; k < kRodadasPorRetardatarios && algumIncompleto(conexao->grafo()); ++k)
      if (!conexao->sincronizar()) return Erro{"o PipeWire não respondeu"};
    const ClienteDoGrafo* meu = conexao->grafo().cliente(conexao->meuCliente());
    // This very listing, by the pid the daemon knows it by: from inside an
    // application sandbox's pid namespace, the host's.
    const auto meuPid = static_cast<int32_t>(meu ? numeroDe(meu->props, "pipewire.sec.pid").value_or(0) : getpid());
    // There, a program outside that has ended cannot be told from one
    // running: none is waited for (nor will it get a pid).
    if (meuPid == getpid()) esperarQueSaiam(*conexao, arvore);
    return clientesDe(conexao->grafo(), meuPid);
  }

  std::unique_ptr<Fluxo> criarFluxo(std::shared_ptr<const Exclusao> exclusao, const ConfiguracaoDoFluxo& configuracao,
                                    DelegadoDoFluxo& delegado) override {
    conexao_.reset();
    return criarFluxoPipeWire(std::move(exclusao), configuracao, delegado);
  }

 private:
  std::unique_ptr<ConexaoPipeWire> conexao_;
};

// Where the client library looks for the daemon's socket, for the diagnostic.
std::string soqueteDoPipeWire() {
  const char* nome = std::getenv("PIPEWIRE_REMOTE");
  const std::string remoto = nome && *nome ? nome : "pipewire-0";
  if (remoto.starts_with("/")) return remoto;
  for (const char* variavel : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"})
    if (const char* pasta = std::getenv(variavel)) return std::string(pasta) + "/" + remoto;
  return remoto;
}

}  // namespace

Sondagem sondarPipeWire() {
  std::string motivo;
  std::optional<Sondagem> r = insistir(kPrazoDeRecusas, [&]() -> std::optional<Sondagem> {
    auto conexao = ConexaoPipeWire::conectar(kPrazoDaResposta);
    if (auto* c = std::get_if<std::unique_ptr<ConexaoPipeWire>>(&conexao))
      return Sondagem{Sondagem::atende, std::make_unique<ServidorPipeWire>(std::move(*c)), ""};
    const ConexaoPipeWire::Falha& falha = std::get<ConexaoPipeWire::Falha>(conexao);
    switch (falha.tipo) {
      case ConexaoPipeWire::Falha::recusou:
        motivo = "recusou a conexão: " + falha.descricao;
        return std::nullopt;
      case ConexaoPipeWire::Falha::semSoquete:
        return Sondagem{Sondagem::ausente, nullptr, "sem soquete em " + soqueteDoPipeWire()};
      case ConexaoPipeWire::Falha::calado:
        return Sondagem{Sondagem::ausente, nullptr,
                        "ocupado: não respondeu em " + std::to_string(kPrazoDaResposta.count()) + " ms"};
      default:
        return Sondagem{Sondagem::ausente, nullptr, falha.descricao};
    }
  });
  return r ? std::move(*r) : Sondagem{Sondagem::ausente, nullptr, motivo};
}

}  // namespace escuta
