#pragma once
// A connection to a PulseAudio server served by libpulse's thread loop.
// Callbacks run on the loop's thread with its lock held; other threads take
// the lock through Trava. The server is found the usual way (PULSE_SERVER,
// client.conf, the session's socket, a system-wide daemon) and never spawned.
#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>
#include <memory>
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

  // With the lock held: waits until `operacao` is done (true), or fails, the
  // connection falls or `segundos` pass (false). Takes the reference.
  bool esperar(pa_operation* operacao, int segundos);
  // With the lock held: waits until `condicao` holds (true) or `prazo` has
  // passed (false), looking again after every event of the loop's that
  // signals: an answer, a subscribed change, the connection falling.
  bool esperarQue(const std::function<bool()>& condicao, std::chrono::milliseconds prazo);

  // With the lock held.
  pa_context* contexto() { return contexto_; }
  pa_mainloop_api* api() { return pa_threaded_mainloop_get_api(laco_); }
  bool caiu() const { return caiu_; }
  std::string erro() const;  // the context's last error, in words

  // Called on the loop's thread: a subscribed object changed; the server went away.
  std::function<void(pa_subscription_event_type_t, uint32_t)> aoMudar;
  std::function<void(const std::string&)> aoCair;

 private:
  ConexaoPulse() = default;
  static void aoMudarEstado(pa_context* contexto, void* dados);
  static void aoEvento(pa_context* contexto, pa_subscription_event_type_t tipo, uint32_t indice, void* dados);

  pa_threaded_mainloop* laco_ = nullptr;
  pa_context* contexto_ = nullptr;
  bool pronta_ = false;
  bool caiu_ = false;
};

}  // namespace escuta
