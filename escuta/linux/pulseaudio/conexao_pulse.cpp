#include "escuta/linux/pulseaudio/conexao_pulse.h"

#include <pulse/rtclock.h>

#include <algorithm>
#include <vector>

namespace escuta {

namespace {

void sinalizar(pa_threaded_mainloop* laco) { pa_threaded_mainloop_signal(laco, 0); }

// A wake-up for a wait with a deadline: the thread loop's own wait has none.
class Despertador {
 public:
  Despertador(pa_context* contexto, pa_threaded_mainloop* laco, pa_usec_t quando)
      : api_(pa_threaded_mainloop_get_api(laco)) {
    evento_ = pa_context_rttime_new(
        contexto, quando, [](pa_mainloop_api*, pa_time_event*, const timeval*, void* d) {
          sinalizar(static_cast<pa_threaded_mainloop*>(d));
        },
        laco);
  }
  ~Despertador() {
    if (evento_) api_->time_free(evento_);
  }
  Despertador(const Despertador&) = delete;
  Despertador& operator=(const Despertador&) = delete;

 private:
  pa_mainloop_api* api_;
  pa_time_event* evento_ = nullptr;
};

}  // namespace

std::variant<std::unique_ptr<ConexaoPulse>, ConexaoPulse::Falha> ConexaoPulse::abrir(int segundos) {
  std::unique_ptr<ConexaoPulse> c(new ConexaoPulse());
  c->laco_ = pa_threaded_mainloop_new();
  if (!c->laco_) return Falha{PA_ERR_INTERNAL, "pa_threaded_mainloop_new falhou"};
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "escuta");
  c->contexto_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c->laco_), "escuta", props);
  pa_proplist_free(props);
  if (!c->contexto_) return Falha{PA_ERR_INTERNAL, "pa_context_new falhou"};
  pa_context_set_state_callback(c->contexto_, &ConexaoPulse::aoMudarEstado, c.get());
  pa_context_set_subscribe_callback(c->contexto_, &ConexaoPulse::aoEvento, c.get());
  if (pa_context_connect(c->contexto_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    const int codigo = pa_context_errno(c->contexto_);
    return Falha{codigo, pa_strerror(codigo)};
  }
  if (pa_threaded_mainloop_start(c->laco_) < 0) return Falha{PA_ERR_INTERNAL, "pa_threaded_mainloop_start falhou"};
  Trava trava(*c);
  if (!c->esperarQue([&c] { return c->pronta_; }, std::chrono::seconds(segundos))) {
    const int codigo = c->caiu_ ? pa_context_errno(c->contexto_) : PA_ERR_TIMEOUT;
    return Falha{codigo, pa_strerror(codigo)};
  }
  return c;
}

ConexaoPulse::~ConexaoPulse() {
  if (contexto_) {
    pa_threaded_mainloop_lock(laco_);
    pa_context_set_state_callback(contexto_, nullptr, nullptr);
    pa_context_set_subscribe_callback(contexto_, nullptr, nullptr);
    pa_context_disconnect(contexto_);
    pa_context_unref(contexto_);
    pa_threaded_mainloop_unlock(laco_);
  }
  if (laco_) {
    pa_threaded_mainloop_stop(laco_);
    pa_threaded_mainloop_free(laco_);
  }
}

ConexaoPulse::Inscricao& ConexaoPulse::Inscricao::operator=(Inscricao&& outra) noexcept {
  std::swap(conexao_, outra.conexao_);
  std::swap(ouvinte_, outra.ouvinte_);
  return *this;
}

ConexaoPulse::Inscricao::~Inscricao() {
  if (conexao_) conexao_->ouvintes_.erase(ouvinte_);
}

std::optional<ConexaoPulse::Inscricao> ConexaoPulse::inscrever(Ouvinte ouvinte, int segundos) {
  const auto mascara = static_cast<pa_subscription_mask_t>(mascara_ | ouvinte.mascara);
  if (mascara != mascara_) {
    if (!esperar(pa_context_subscribe(contexto_, mascara, nullptr, nullptr), segundos)) return std::nullopt;
    mascara_ = mascara;
  }
  ouvintes_.push_back(std::move(ouvinte));
  return Inscricao(this, std::prev(ouvintes_.end()));
}

bool ConexaoPulse::esperar(pa_operation* operacao, int segundos) {
  if (!operacao) return false;
  pa_operation_set_state_callback(
      operacao, [](pa_operation*, void* d) { sinalizar(static_cast<pa_threaded_mainloop*>(d)); }, laco_);
  esperarQue([operacao] { return pa_operation_get_state(operacao) != PA_OPERATION_RUNNING; },
             std::chrono::seconds(segundos));
  const bool feita = pa_operation_get_state(operacao) == PA_OPERATION_DONE;
  if (!feita) pa_operation_cancel(operacao);
  pa_operation_set_state_callback(operacao, nullptr, nullptr);
  pa_operation_unref(operacao);
  return feita;
}

bool ConexaoPulse::esperarQue(const std::function<bool()>& condicao, std::chrono::milliseconds prazo) {
  const pa_usec_t fim = pa_rtclock_now() + static_cast<pa_usec_t>(prazo.count()) * PA_USEC_PER_MSEC;
  Despertador despertador(contexto_, laco_, fim);
  while (!condicao() && !caiu_ && pa_rtclock_now() < fim) pa_threaded_mainloop_wait(laco_);
  return condicao();
}

std::string ConexaoPulse::servidor() const {
  const char* s = pa_context_get_server(contexto_);
  return s ? s : "";
}

std::string ConexaoPulse::erro() const { return pa_strerror(pa_context_errno(contexto_)); }

void ConexaoPulse::aoMudarEstado(pa_context* contexto, void* dados) {
  auto* c = static_cast<ConexaoPulse*>(dados);
  switch (pa_context_get_state(contexto)) {
    case PA_CONTEXT_READY:
      c->pronta_ = true;
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      if (c->caiu_) break;
      c->caiu_ = true;
      if (c->pronta_) c->avisarQueCaiu("conexão com o PulseAudio perdida: " + c->erro());
      break;
    default:
      break;
  }
  sinalizar(c->laco_);
}

// A listener may end its own subscription, or another's, from its callback:
// each is looked up again after every call.
template <typename Chamar>
void ConexaoPulse::paraCadaOuvinte(Chamar chamar) {
  std::vector<const Ouvinte*> vistos;
  for (auto it = ouvintes_.begin(); it != ouvintes_.end();) {
    const Ouvinte& o = *it;
    vistos.push_back(&o);
    chamar(o);
    it = std::find_if(ouvintes_.begin(), ouvintes_.end(), [&](const Ouvinte& x) {
      return std::find(vistos.begin(), vistos.end(), &x) == vistos.end();
    });
  }
}

void ConexaoPulse::avisarQueCaiu(const std::string& motivo) {
  paraCadaOuvinte([&](const Ouvinte& o) {
    if (o.aoCair) o.aoCair(motivo);
  });
}

void ConexaoPulse::aoEvento(pa_context*, pa_subscription_event_type_t tipo, uint32_t indice, void* dados) {
  auto* c = static_cast<ConexaoPulse*>(dados);
  c->paraCadaOuvinte([&](const Ouvinte& o) {
    if (o.aoMudar && pa_subscription_match_flags(o.mascara, tipo)) o.aoMudar(tipo, indice);
  });
  sinalizar(c->laco_);
}

}  // namespace escuta
