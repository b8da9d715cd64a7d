#pragma once
// A serial queue on its own thread: tasks run one at a time, in order.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "escuta/plataforma.h"

namespace escuta {

class FilaSerialLinux : public FilaSerial {
 public:
  explicit FilaSerialLinux(std::string rotulo);
  ~FilaSerialLinux() override;

  // Never blocks on the task; `peso` (bytes, say) counts as pending until it has run.
  void enfileirar(std::function<void()> tarefa, size_t peso = 0);
  size_t pendente() const;

 private:
  void servir();

  std::string rotulo_;
  mutable std::mutex trava_;
  std::condition_variable aviso_;
  std::deque<std::pair<std::function<void()>, size_t>> tarefas_;
  size_t pendente_ = 0;
  bool fim_ = false;
  std::thread servidor_;
};

}  // namespace escuta
