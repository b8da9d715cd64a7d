#include "escuta/linux/fila_serial.h"

#include <pthread.h>

namespace escuta {

FilaSerialLinux::FilaSerialLinux(std::string rotulo) : rotulo_(std::move(rotulo)) {
  servidor_ = std::thread([this] { servir(); });
  pthread_setname_np(servidor_.native_handle(), rotulo_.substr(0, 15).c_str());
}

FilaSerialLinux::~FilaSerialLinux() {
  {
    std::lock_guard<std::mutex> t(trava_);
    fim_ = true;
  }
  aviso_.notify_one();
  servidor_.join();
}

void FilaSerialLinux::enfileirar(std::function<void()> tarefa, size_t peso) {
  {
    std::lock_guard<std::mutex> t(trava_);
    tarefas_.emplace_back(std::move(tarefa), peso);
    pendente_ += peso;
  }
  aviso_.notify_one();
}

size_t FilaSerialLinux::pendente() const {
  std::lock_guard<std::mutex> t(trava_);
  return pendente_;
}

void FilaSerialLinux::servir() {
  for (;;) {
    std::pair<std::function<void()>, size_t> proxima;
    {
      std::unique_lock<std::mutex> t(trava_);
      aviso_.wait(t, [this] { return fim_ || !tarefas_.empty(); });
      if (tarefas_.empty()) return;
      proxima = std::move(tarefas_.front());
      tarefas_.pop_front();
    }
    proxima.first();
    std::lock_guard<std::mutex> t(trava_);
    pendente_ -= proxima.second;
  }
}

}  // namespace escuta
