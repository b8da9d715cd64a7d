#pragma once
// A connection to the PipeWire daemon served by its own thread loop, and the
// graph as the registry shows it. Callbacks run on the loop's thread with
// its lock held; other threads take the lock through Trava.
#include <pipewire/pipewire.h>

#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <variant>

#include "escuta/linux/pipewire/grafo.h"
#include "escuta/resultado.h"

namespace escuta {

class ConexaoPipeWire {
 public:
  struct Falha {
    enum Tipo {
      semSoquete,  // no daemon's socket where the client library looks
      recusou,     // the socket is there, the connection was refused
      calado,      // connected, but no answer within the deadline: a sandboxed
                   // client the session manager has not granted is kept waiting
      outra
    } tipo;
    std::string descricao;
  };
  // Connected, with the daemon's first answer within `prazo`, or why not.
  static std::variant<std::unique_ptr<ConexaoPipeWire>, Falha> conectar(std::chrono::milliseconds prazo);
  // Connects within a few seconds or gives why it could not.
  static Resultado<std::unique_ptr<ConexaoPipeWire>> abrir();
  ~ConexaoPipeWire();
  ConexaoPipeWire(const ConexaoPipeWire&) = delete;
  ConexaoPipeWire& operator=(const ConexaoPipeWire&) = delete;

  class Trava {
   public:
    explicit Trava(ConexaoPipeWire& c) : laco_(c.laco_) { pw_thread_loop_lock(laco_); }
    ~Trava() { pw_thread_loop_unlock(laco_); }
    Trava(const Trava&) = delete;
    Trava& operator=(const Trava&) = delete;

   private:
    pw_thread_loop* laco_;
  };

  // With the lock held: waits until the daemon has answered everything asked
  // so far (twice, so that the objects bound meanwhile have sent their info).
  bool sincronizar();

  // With the lock held.
  const Grafo& grafo() const { return grafo_; }
  // This connection's own client in the graph, once the daemon has answered.
  uint32_t meuCliente() const;
  pw_core* nucleo() { return nucleo_; }
  pw_thread_loop* laco() { return laco_; }
  bool caiu() const { return caiu_; }

  // Called on the loop's thread: the graph changed; the daemon went away.
  std::function<void()> aoMudar;
  std::function<void(const std::string&)> aoCair;

 private:
  struct Vinculo;  // a bound client or node and its listener
  ConexaoPipeWire() = default;
  bool uma(std::chrono::milliseconds prazo);

  static void global(void* dados, uint32_t id, uint32_t permissoes, const char* tipo, uint32_t versao,
                     const spa_dict* props);
  static void globalRemovido(void* dados, uint32_t id);
  static void feito(void* dados, uint32_t id, int seq);
  static void infoDoCliente(void* dados, const pw_client_info* info);
  static void infoDoNo(void* dados, const pw_node_info* info);
  static void erro(void* dados, uint32_t id, int seq, int res, const char* mensagem);
  void atualizar(uint32_t id, bool ehCliente, const spa_dict* props);
  void mudou();

  pw_thread_loop* laco_ = nullptr;
  pw_context* contexto_ = nullptr;
  pw_core* nucleo_ = nullptr;
  pw_registry* registro_ = nullptr;
  spa_hook ouvinteDoNucleo_{}, ouvinteDoRegistro_{};
  std::list<Vinculo> vinculos_;
  Grafo grafo_;
  int feitoAte_ = -1;
  bool caiu_ = false;
};

}  // namespace escuta
