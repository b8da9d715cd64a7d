#pragma once
// A connection to a PulseAudio server served by libpulse's thread loop.
// Callbacks run on the loop's thread with its lock held; other threads take
// the lock through Trava. The server is found the usual way (PULSE_SERVER,
// client.conf, the session's socket, a system-wide daemon) and never spawned.
#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace escuta {

class ConexaoPulse {
 public:
  struct Falha {
    int codigo;  // PA_ERR_*
    std::string descricao;
  };

  // Connected within `segundos`, or why not.
  static std::variant<std::unique_ptr<ConexaoPulse>, Falha> abrir(int segundos);
  ~ConexaoPulse();
  ConexaoPulse(const ConexaoPulse&) = delete;
  ConexaoPulse& operator=(const ConexaoPulse&) = delete;

  class Trava {
   public:
    explicit Trava(ConexaoPulse& c) : laco_(c.laco_) { pa_threaded_mainloop_lock(laco_); }
    ~Trava() { pa_threaded_mainloop_unlock(laco_); }
    Trava(const Trava&) = delete;
    Trava& operator=(const Trava&) = delete;

   private:
    pa_threaded_mainloop* laco_;
  };

  // What one user of the connection (the listing, the capture) is told, on
  // the loop's thread: a change to the objects of its mask; the server gone.
  struct Ouvinte {
    pa_subscription_mask_t mascara = PA_SUBSCRIPTION_MASK_NULL;
    std::function<void(pa_subscription_event_type_t, uint32_t)> aoMudar;
    std::function<void(const std::string&)> aoCair;
  };
  // Keeps its listener told while it lives. Destroy it with the lock held.
  class Inscricao {
   public:
    Inscricao() = default;
    Inscricao(ConexaoPulse* conexao, std::list<Ouvinte>::iterator ouvinte) : conexao_(conexao), ouvinte_(ouvinte) {}
    Inscricao(Inscricao&& outra) noexcept { *this = std::move(outra); }
    Inscricao& operator=(Inscricao&& outra) noexcept;
    ~Inscricao();

   private:
    ConexaoPulse* conexao_ = nullptr;
    std::list<Ouvinte>::iterator ouvinte_;
  };
  // With the lock held: adds `ouvinte` and has the server send the events of
  // every listener's mask; nothing when the server did not take it within `segundos`.
  std::optional<Inscricao> inscrever(Ouvinte ouvinte, int segundos);

  // With the lock held: waits until `operacao` is done (true), or fails, the
  // connection falls or `segundos` pass (false). Takes the reference; a null
  // operation (the call refused: the connection is gone) is false.
  bool esperar(pa_operation* operacao, int segundos);
  // With the lock held: waits until `condicao` holds (true) or `prazo` has
  // passed (false), looking again after every event of the loop's that
  // signals: an answer, a subscribed change, the connection falling.
  bool esperarQue(const std::function<bool()>& condicao, std::chrono::milliseconds prazo);

  // With the lock held.
  pa_context* contexto() { return contexto_; }
  pa_mainloop_api* api() { return pa_threaded_mainloop_get_api(laco_); }
  std::string servidor() const;  // the server it reached, as libpulse names it
  bool caiu() const { return caiu_; }
  std::string erro() const;  // the context's last error, in words

 private:
  ConexaoPulse() = default;
  static void aoMudarEstado(pa_context* contexto, void* dados);
  static void aoEvento(pa_context* contexto, pa_subscription_event_type_t tipo, uint32_t indice, void* dados);
  template <typename Chamar>
  void paraCadaOuvinte(Chamar chamar);
  void avisarQueCaiu(const std::string& motivo);

  pa_threaded_mainloop* laco_ = nullptr;
  pa_context* contexto_ = nullptr;
  bool pronta_ = false;
  bool caiu_ = false;
  std::list<Ouvinte> ouvintes_;
  pa_subscription_mask_t mascara_ = PA_SUBSCRIPTION_MASK_NULL;  // what the server sends
};

// Lets go of an operation whose end nobody waits for. libpulse gives none
// (null) when the connection is no longer ready.
inline void descartar(pa_operation* operacao) {
  if (operacao) pa_operation_unref(operacao);
}

}  // namespace escuta
