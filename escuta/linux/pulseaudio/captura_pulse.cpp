#include "escuta/linux/pulseaudio/captura_pulse.h"

#include <pulse/rtclock.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "escuta/linux/aplicativos/juiz.h"
#include "escuta/linux/entrega.h"
#include "escuta/linux/limites.h"
#include "escuta/linux/pulseaudio/consultas_pulse.h"
#include "escuta/linux/pulseaudio/formato_pulse.h"
#include "escuta/linux/pulseaudio/mistura.h"
#include "escuta/linux/pulseaudio/monitor_de_fluxo.h"
#include "escuta/linux/pulseaudio/vigias.h"

namespace escuta {

namespace {

// Every start, end and gap fades over 2.5 ms. On PulseAudio each stream's
// capture delivers every 5 ms, the output is read from the streams every
// 10 ms on a clock of its own, and 25 ms are held just before each delivery
// (room for the read's phase, the server's jitter on a loaded machine and a
// fade). Measured: 15 ms more latency than parec at 20 ms; 15 ms held
// dropped audio with seven programs and seven other recorders beside a test
// suite on 2 cores. On pipewire-pulse a capture asks the whole graph for its
// quantum, and pipewire-pulse 0.3 drops work (a player then goes silent)
// when its streams wake it faster than it keeps up: the captures deliver
// every 20 ms, as parec's at 20 ms do, and hold 15 ms. There a device's
// streams deliver together once a cycle, so the output is read as soon as
// all that play on a device have delivered: a clock at any phase to the
// cycle kept each frame up to 10 ms longer and woke the process three times
// a cycle, not once. A clock still reads when a delivery is later than the
// hold allows (a stream moved to a device on another driver, on PipeWire
// 1.4: up to a cycle late), which is a short faded gap either way. A device
// whose deliveries come later than that (a machine loaded far beyond its
// cores stalls the server and escuta for up to 80 ms) holds more, up to
// 200 ms, until it shows it no longer needs to.
struct Ritmo {
  pa_usec_t fragmento;  // each capture delivers this often
  uint32_t msAlvo;      // what each stream holds just before its next delivery
  pa_usec_t tique;      // the output is read this often; 0: as each device's streams have delivered
};
constexpr Ritmo kNoPulseAudio{5 * PA_USEC_PER_MSEC, 25, 10 * PA_USEC_PER_MSEC};
constexpr Ritmo kNoPipeWire{20 * PA_USEC_PER_MSEC, 15, 0};
constexpr pa_usec_t kPrimeiraLeitura = 10 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kLerAntes = 2 * PA_USEC_PER_MSEC;
constexpr uint32_t kMsAlvoMaximo = 200, kMsMaximo = 500;
constexpr uint32_t kRampasPorSegundo = 400;
constexpr int kRecusasSeguidas = 3;

Mistura::Parametros parametrosPara(const ConfiguracaoDoFluxo& c, const Ritmo& ritmo) {
  const auto quadros = [&](uint32_t ms) { return static_cast<uint32_t>(c.taxa * ms / 1000); };
  return {static_cast<uint32_t>(c.canais), static_cast<uint32_t>(c.taxa), quadros(ritmo.msAlvo),
          std::max<uint32_t>(1, static_cast<uint32_t>(c.taxa) / kRampasPorSegundo), quadros(kMsMaximo),
          quadros(kMsAlvoMaximo)};
}

class FluxoPulse : public Fluxo {
 public:
  FluxoPulse(std::shared_ptr<ConexaoPulse> conexao, bool sobrePipeWire, std::shared_ptr<const Exclusao> exclusao,
             const ConfiguracaoDoFluxo& configuracao, DelegadoDoFluxo& delegado)
      : conexao_(std::move(conexao)),
        sobrePipeWire_(sobrePipeWire),
        ritmo_(sobrePipeWire ? kNoPipeWire : kNoPulseAudio),
        configuracao_(configuracao),
        delegado_(delegado),
        entrega_(configuracao, delegado),
        exclusao_(std::move(exclusao)),
        mistura_(parametrosPara(configuracao, ritmo_)) {}

  ~FluxoPulse() override {
    juiz_.reset();  // it takes the loop's lock for each verdict
    ConexaoPulse::Trava trava(*conexao_);
    inscricao_.reset();
    if (relogio_) conexao_->api()->time_free(relogio_);
    while (!capturas_.empty()) fechar(capturas_.begin()->first);
    vigias_.reset();
  }

  std::optional<Erro> adicionarSaida(SaidaDoFluxo& saida, TipoDeSaida tipo, FilaSerial& fila) override {
    return entrega_.registrar(saida, tipo, fila);
  }

  void iniciarCaptura(std::function<void(std::optional<Erro>)> conclusao) override {
    if (std::optional<Erro> e = validarFormato(configuracao_)) return conclusao(e);
    if (!entrega_.registrada()) return conclusao(Erro{"nenhuma saída registrada"});
    ConexaoPulse::Trava trava(*conexao_);
    if (std::optional<Erro> e = seguirOServidor()) return conclusao(e);
    iniciado_ = true;
    conclusao(std::nullopt);
  }

 private:
  // One sink input being read: its capture and where its frames go.
  struct Captura {
    uint32_t entrada;
    uint32_t id;           // in the mix
    uint32_t dispositivo;  // the sink it was on when opened
    std::unique_ptr<MonitorDeFluxo> monitor;
    std::vector<uint8_t> resto;  // a partial frame, until the rest comes; all, until `ligada`
    bool recebeu = false;
    bool ligada = false;  // the server has shown it attached to its stream
    bool entregou = false;  // since its device was last read (pipewire-pulse)
  };

  std::optional<Erro> seguirOServidor();
  void mudou(pa_subscription_event_type_t evento, uint32_t indice);
  void atualizar(const EntradaPulse& entrada);
  bool ouvir(const EntradaPulse& entrada);
  void julgado(uint32_t entrada, bool deixarDeFora);
  void abrir(const EntradaPulse& entrada);
  void fechar(uint32_t entrada);
  void consultar(uint32_t entrada);
  void vigiarSink(uint32_t sink);
  void conferir(Captura& c);
  void conferida(const pa_source_output_info& info);
  Captura* capturaDe(uint32_t saidaDeFonte);
  void descartarCaptura(Captura& c);
  void receber(Captura& c, const void* dados, size_t bytes);
  void passarAMistura(Captura& c);
  void lerSeTodosEntregaram(Captura& c);
  bool todosEntregaram(uint32_t dispositivo) const;
  void tique();
  void ler(pa_usec_t agora);
  pa_usec_t periodo() const;
  void falhou(const std::string& motivo);


  std::shared_ptr<ConexaoPulse> conexao_;
  const bool sobrePipeWire_;
  const Ritmo ritmo_;
  std::optional<ConexaoPulse::Inscricao> inscricao_;
  ConfiguracaoDoFluxo configuracao_;
  DelegadoDoFluxo& delegado_;
  Entrega entrega_;
  std::shared_ptr<const Exclusao> exclusao_;
  std::unique_ptr<Juiz> juiz_;
  std::map<uint32_t, std::optional<bool>> vereditos_;  // by sink input: asked, and whether left out
  std::map<uint32_t, EntradaPulse> entradas_;          // as last seen, for when its verdict comes
  std::vector<ClientePulse> clientes_;
  std::map<uint32_t, std::unique_ptr<Captura>> capturas_;
  std::map<uint32_t, int> recusas_;  // captures of a stream refused in a row
  std::map<uint32_t, uint32_t> monitores_;  // each sink's monitor source
  std::unique_ptr<Vigias> vigias_;
  Mistura mistura_;
  uint32_t proximoId_ = 1;
  pa_time_event* relogio_ = nullptr;
  pa_usec_t inicio_ = 0;
  uint64_t emitidos_ = 0;
  std::vector<float> bloco_;
  std::vector<float> quadros_;
  bool iniciado_ = false;
  bool atrasado_ = false;
};

// With the lock held: subscribe first, then list, so nothing is missed in between.
std::optional<Erro> FluxoPulse::seguirOServidor() {
  const auto semResposta = [this] {
    if (conexao_->caiu()) return Erro{"conexão com o PulseAudio perdida: " + conexao_->erro()};
    return Erro{"o PulseAudio não respondeu em " + std::to_string(kSegundosParaComecar) + " s"};
  };
  if (conexao_->caiu()) return semResposta();
  if (exclusao_ && !exclusao_->vazia())
    juiz_ = std::make_unique<Juiz>(exclusao_, [this](uint64_t entrada, bool deixarDeFora) {
      julgado(static_cast<uint32_t>(entrada), deixarDeFora);
    });
  const auto mascara = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK_INPUT |
                                                          PA_SUBSCRIPTION_MASK_CLIENT | PA_SUBSCRIPTION_MASK_SINK |
                                                          PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT);
  inscricao_ = conexao_->inscrever({mascara, [this](pa_subscription_event_type_t e, uint32_t i) { mudou(e, i); },
                                    [this](const std::string& motivo) { falhou(motivo); }},
                                   kSegundosParaComecar);
  if (!inscricao_) return semResposta();
  vigias_ = std::make_unique<Vigias>(*conexao_, ritmo_.fragmento, especificacaoPedida(configuracao_));
  vigiarSink(PA_INVALID_INDEX);
  std::vector<EntradaPulse> entradas;
  if (!lerClientes(*conexao_, clientes_, kSegundosParaComecar) ||
      !lerEntradas(*conexao_, entradas, kSegundosParaComecar))
    return semResposta();
  for (const EntradaPulse& e : entradas) atualizar(e);
  inicio_ = pa_rtclock_now();
  relogio_ = pa_context_rttime_new(
      conexao_->contexto(), inicio_ + kPrimeiraLeitura,
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* d) { static_cast<FluxoPulse*>(d)->tique(); }, this);
  return std::nullopt;
}

void FluxoPulse::mudou(pa_subscription_event_type_t evento, uint32_t indice) {
  const auto tipo = evento & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  switch (evento & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) {
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT:
      if (tipo == PA_SUBSCRIPTION_EVENT_REMOVE) {
        recusas_.erase(indice);
        vereditos_.erase(indice);
        entradas_.erase(indice);
        return fechar(indice);
      }
      return consultar(indice);
    case PA_SUBSCRIPTION_EVENT_SINK:
      if (tipo == PA_SUBSCRIPTION_EVENT_NEW) vigiarSink(indice);
      if (tipo == PA_SUBSCRIPTION_EVENT_REMOVE) vigias_->esquecer(indice), monitores_.erase(indice);
      // pipewire-pulse 0.3 tells of a stream's move only as a change of the
      // sinks it left and joined: where the streams read there are now is asked.
      if (tipo == PA_SUBSCRIPTION_EVENT_CHANGE)
        for (const auto& [entrada, c] : capturas_)
          if (c->dispositivo == indice) consultar(entrada);
      return;
    case PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT:
      // One of ours that the server (or its session manager) changed: looked at again.
      if (Captura* c = tipo == PA_SUBSCRIPTION_EVENT_CHANGE ? capturaDe(indice) : nullptr) conferir(*c);
      return;
    case PA_SUBSCRIPTION_EVENT_CLIENT:
      std::erase_if(clientes_, [indice](const ClientePulse& c) { return c.indice == indice; });
      if (tipo == PA_SUBSCRIPTION_EVENT_REMOVE) return;
      // Asked before any stream of the client is, so known by the time its streams are.
      descartar(pa_context_get_client_info(
          conexao_->contexto(), indice,
          [](pa_context*, const pa_client_info* info, int, void* d) {
            if (info) static_cast<FluxoPulse*>(d)->clientes_.push_back(clienteDe(*info));
          },
          this));
      return;
    default:
      return;
  }
}

// A stream that vanished meanwhile gets no answer: nothing to do.
void FluxoPulse::consultar(uint32_t entrada) {
  descartar(pa_context_get_sink_input_info(
      conexao_->contexto(), entrada,
      [](pa_context*, const pa_sink_input_info* info, int, void* d) {
        if (info) static_cast<FluxoPulse*>(d)->atualizar(entradaDe(*info));
      },
      this));
}

// One sink, or every one (PA_INVALID_INDEX).
void FluxoPulse::vigiarSink(uint32_t sink) {
  const pa_sink_info_cb_t vigiar = [](pa_context*, const pa_sink_info* info, int, void* d) {
    if (!info) return;
    auto* f = static_cast<FluxoPulse*>(d);
    f->monitores_[info->index] = info->monitor_source;
    f->vigias_->vigiar(info->index, info->monitor_source_name);
  };
  pa_context* c = conexao_->contexto();
  descartar(sink == PA_INVALID_INDEX ? pa_context_get_sink_info_list(c, vigiar, this)
                                     : pa_context_get_sink_info_by_index(c, sink, vigiar, this));
}

// Heard while it plays; a paused one's capture is closed so that it does not
// keep its device awake. One that moved is read again on its new sink:
// PulseAudio ends its capture, pipewire-pulse keeps it attached, and it is
// summed from then on with the new sink's streams, on that sink's clock.
void FluxoPulse::atualizar(const EntradaPulse& e) {
  const bool ouvida = ouvir(e) && !e.pausada;
  const auto it = capturas_.find(e.indice);
  const bool aberta = it != capturas_.end();
  const bool moveu = aberta && it->second->dispositivo != e.dispositivo;
  if (ouvida && moveu && sobrePipeWire_) {
    it->second->dispositivo = e.dispositivo;
    return mistura_.mover(it->second->id, e.dispositivo);
  }
  if (aberta && (!ouvida || moveu)) fechar(e.indice);
  if (ouvida && capturas_.count(e.indice) == 0) abrir(e);
}

// A program's stream, once judged, unless left out; every one, when nothing is.
bool FluxoPulse::ouvir(const EntradaPulse& e) {
  if (!ehDePrograma(e)) return false;
  if (!juiz_) return true;
  entradas_[e.indice] = e;
  auto [veredito, novo] = vereditos_.try_emplace(e.indice);
  if (novo) juiz_->perguntar(e.indice, clienteDaEntrada(e, clientes_));
  return veredito->second == false;
}

// On the judge's thread.
void FluxoPulse::julgado(uint32_t entrada, bool deixarDeFora) {
  ConexaoPulse::Trava trava(*conexao_);
  const auto e = entradas_.find(entrada);
  if (e == entradas_.end()) return;  // gone meanwhile
  vereditos_[entrada] = deixarDeFora;
  atualizar(e->second);
}

void FluxoPulse::abrir(const EntradaPulse& e) {
  auto c = std::make_unique<Captura>(Captura{e.indice, proximoId_++, e.dispositivo});
  Captura* p = c.get();
  // pipewire-pulse starves captures that share a connection; PulseAudio
  // does not, and a capture reopened after a move is heard sooner there on
  // the connection already made.
  c->monitor = MonitorDeFluxo::abrir(
      *conexao_, sobrePipeWire_, e.indice, especificacaoPedida(configuracao_), mapaPedido(configuracao_),
      ritmo_.fragmento,
      {[this, p](const void* dados, size_t bytes) { receber(*p, dados, bytes); }, [this, p] { lerSeTodosEntregaram(*p); },
       [this, p] { conferir(*p); }, [this, p] { descartarCaptura(*p); }});
  if (!c->monitor) return;
  mistura_.abrir(c->id, e.dispositivo);
  capturas_[e.indice] = std::move(c);
}

void FluxoPulse::fechar(uint32_t entrada) {
  const auto it = capturas_.find(entrada);
  if (it == capturas_.end()) return;
  mistura_.encerrar(it->second->id);
  capturas_.erase(it);
}

// Closes the capture, then asks where its stream is now, and reads it there
// if it still plays. A stream whose captures fail again and again, never
// delivering, is left alone.
void FluxoPulse::descartarCaptura(Captura& c) {
  const uint32_t entrada = c.entrada;
  int& recusas = recusas_[entrada];
  recusas = c.recebeu ? 0 : recusas + 1;
  fechar(entrada);
  if (recusas < kRecusasSeguidas) consultar(entrada);
}

// Until the server says where a capture is attached, what it delivers is
// held back: it may be a microphone's.
void FluxoPulse::conferir(Captura& c) {
  c.ligada = false;
  const uint32_t saida = c.monitor->saidaDeFonte();
  if (saida == PA_INVALID_INDEX) return;
  descartar(pa_context_get_source_output_info(
      conexao_->contexto(), saida,
      [](pa_context*, const pa_source_output_info* info, int, void* d) {
        if (info) static_cast<FluxoPulse*>(d)->conferida(*info);
      },
      this));
}

// Attached to its stream, a capture reports no source on pipewire-pulse and
// its sink's monitor on PulseAudio; anything else (a fallback to the
// default source) is closed.
void FluxoPulse::conferida(const pa_source_output_info& info) {
  Captura* c = capturaDe(info.index);
  if (!c) return;
  const auto monitor = monitores_.find(c->dispositivo);
  const bool ligada = sobrePipeWire_ ? info.source == PA_INVALID_INDEX
                                     : monitor != monitores_.end() && info.source == monitor->second;
  if (!ligada) return descartarCaptura(*c);
  c->ligada = true;
  passarAMistura(*c);
}

FluxoPulse::Captura* FluxoPulse::capturaDe(uint32_t saidaDeFonte) {
  for (auto& [_, c] : capturas_)
    if (c->monitor->saidaDeFonte() == saidaDeFonte) return c.get();
  return nullptr;
}

// Frames are copied out whole: the server promises no float alignment and
// may cut a frame. A hole (no bytes: frames the server lost) is silence of
// its length, faded into and out of once in the mix.
void FluxoPulse::receber(Captura& c, const void* dados, size_t bytes) {
  c.recebeu = true;
  const size_t quadro = static_cast<size_t>(configuracao_.canais) * sizeof(float);
  if (!dados && c.ligada) {
    passarAMistura(c);
    c.resto.clear();
    return mistura_.lacuna(c.id, bytes / quadro);
  }
  if (dados)
    c.resto.insert(c.resto.end(), static_cast<const uint8_t*>(dados), static_cast<const uint8_t*>(dados) + bytes);
  else
    c.resto.resize(c.resto.size() + bytes / quadro * quadro, 0);
  passarAMistura(c);
}

void FluxoPulse::passarAMistura(Captura& c) {
  const size_t quadro = static_cast<size_t>(configuracao_.canais) * sizeof(float);
  if (!c.ligada) {
    // Held back for a moment only; never more than the mix would keep.
    const size_t maximo = static_cast<size_t>(configuracao_.taxa) * kMsMaximo / 1000 * quadro;
    if (c.resto.size() > maximo) {
      const size_t velhos = (c.resto.size() - maximo + quadro - 1) / quadro * quadro;  // whole frames
      c.resto.erase(c.resto.begin(), c.resto.begin() + static_cast<ptrdiff_t>(velhos));
    }
    return;
  }
  const size_t n = c.resto.size() / quadro;
  if (n == 0) return;
  quadros_.resize(n * configuracao_.canais);
  std::memcpy(quadros_.data(), c.resto.data(), n * quadro);
  c.resto.erase(c.resto.begin(), c.resto.begin() + static_cast<ptrdiff_t>(n * quadro));
  mistura_.receber(c.id, quadros_.data(), n);
}

// A device whose every playing stream has delivered is read at once.
void FluxoPulse::lerSeTodosEntregaram(Captura& c) {
  if (ritmo_.tique != 0 || !c.ligada) return;
  c.entregou = true;
  if (!todosEntregaram(c.dispositivo)) return;
  for (auto& [_, outra] : capturas_)
    if (outra->dispositivo == c.dispositivo) outra->entregou = false;
  ler(pa_rtclock_now());
}

// Streams still filling, or run dry (late, or gone quiet), are not waited for.
bool FluxoPulse::todosEntregaram(uint32_t dispositivo) const {
  for (const auto& [_, c] : capturas_)
    if (c->dispositivo == dispositivo && !c->entregou && mistura_.tocando(c->id)) return false;
  return true;
}

// What the clock says is due, silence where nothing plays, whatever the
// phase of the streams' deliveries: on PulseAudio the streams of a device do
// not all come in one turn of the loop; on pipewire-pulse the clock reads
// only when a period passed without a whole delivery.
void FluxoPulse::tique() {
  const pa_usec_t agora = pa_rtclock_now();
  // Woken late (another process had the CPU), or on pipewire-pulse at all (a
  // delivery is late): what the streams sent meanwhile may be unread, and the
  // loop runs its timers before its sockets. Read them first, a moment
  // later, or the queues would look empty.
  const auto taxa = static_cast<uint64_t>(configuracao_.taxa);
  const uint64_t pendentes = (agora - inicio_) * taxa / PA_USEC_PER_SEC - emitidos_;
  if (!atrasado_ && (ritmo_.tique == 0 || pendentes > taxa * ritmo_.tique * 3 / 2 / PA_USEC_PER_SEC)) {
    atrasado_ = true;
    return pa_context_rttime_restart(conexao_->contexto(), relogio_, agora + kLerAntes);
  }
  for (auto& [_, c] : capturas_) c->entregou = false;
  ler(agora);
}

// After a stall of over a second (the process stopped) it goes on from now,
// not with the backlog. The clock reads next a period from now.
void FluxoPulse::ler(pa_usec_t agora) {
  atrasado_ = false;
  const auto taxa = static_cast<uint64_t>(configuracao_.taxa);
  const uint64_t devidos = (agora - inicio_) * taxa / PA_USEC_PER_SEC;
  if (devidos - emitidos_ > taxa) emitidos_ = devidos - taxa * kPrimeiraLeitura / PA_USEC_PER_SEC;
  const size_t n = devidos - emitidos_;
  if (n > 0) {
    bloco_.resize(n * configuracao_.canais);
    mistura_.misturar(bloco_.data(), n);
    const auto* bytes = reinterpret_cast<const uint8_t*>(bloco_.data());
    entrega_.entregar(std::vector<uint8_t>(bytes, bytes + bloco_.size() * sizeof(float)));
    emitidos_ = devidos;
  }
  pa_context_rttime_restart(conexao_->contexto(), relogio_, agora + periodo());
}

// Read as the streams deliver, the clock waits a delivery and the most any
// device holds: by then a late delivery's hold is spent.
pa_usec_t FluxoPulse::periodo() const {
  if (ritmo_.tique != 0) return ritmo_.tique;
  const auto taxa = static_cast<double>(configuracao_.taxa);
  double alvo = ritmo_.msAlvo * taxa / 1000;
  for (const auto& [_, c] : capturas_) alvo = std::max(alvo, mistura_.alvo(c->dispositivo));
  return ritmo_.fragmento + static_cast<pa_usec_t>(alvo * PA_USEC_PER_SEC / taxa);
}

void FluxoPulse::falhou(const std::string& motivo) {
  if (iniciado_) delegado_.fluxoParou(Erro{motivo});
}

}  // namespace

std::unique_ptr<Fluxo> criarFluxoPulse(std::shared_ptr<ConexaoPulse> conexao, bool sobrePipeWire,
                                       std::shared_ptr<const Exclusao> exclusao,
                                       const ConfiguracaoDoFluxo& configuracao, DelegadoDoFluxo& delegado) {
  return std::make_unique<FluxoPulse>(std::move(conexao), sobrePipeWire, std::move(exclusao), configuracao,
                                      delegado);
}

}  // namespace escuta
