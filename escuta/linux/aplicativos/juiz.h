#pragma once
// Judges streams for the exclusion on a thread of its own: the sound
// servers' loop threads pace the audio and never wait on /proc. A capture
// hears a stream only once its verdict has come, so an excluded
// application's sound never slips through.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "escuta/linux/aplicativos/exclusao.h"

namespace escuta {

class Juiz {
 public:
  // Called on the judge's thread, once per question, with its key.
  using Veredito = std::function<void(uint64_t chave, bool deixarDeFora)>;

  Juiz(std::shared_ptr<const Exclusao> exclusao, Veredito veredito);
  // Waits for the question being judged and drops the rest. Not to be
  // destroyed while holding a lock that `veredito` takes.
  ~Juiz();
  Juiz(const Juiz&) = delete;
  Juiz& operator=(const Juiz&) = delete;

  // Never waits.
  void perguntar(uint64_t chave, ClienteDeSom cliente);

 private:
  void julgar();

  std::shared_ptr<const Exclusao> exclusao_;
  Veredito veredito_;
  std::mutex trava_;
  std::condition_variable aviso_;
  std::deque<std::pair<uint64_t, ClienteDeSom>> perguntas_;
  bool fim_ = false;
  std::thread juiz_;
};

}  // namespace escuta
