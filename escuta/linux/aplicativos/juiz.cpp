#include "escuta/linux/aplicativos/juiz.h"

namespace escuta {

Juiz::Juiz(std::shared_ptr<const Exclusao> exclusao, Veredito veredito)
    : exclusao_(std::move(exclusao)), veredito_(std::move(veredito)), juiz_([this] { julgar(); }) {}

Juiz::~Juiz() {
  {
    std::lock_guard<std::mutex> l(trava_);
    fim_ = true;
  }
  aviso_.notify_one();
  juiz_.join();
}

void Juiz::perguntar(uint64_t chave, ClienteDeSom cliente) {
  {
    std::lock_guard<std::mutex> l(trava_);
    perguntas_.emplace_back(chave, std::move(cliente));
  }
  aviso_.notify_one();
}

void Juiz::julgar() {
  for (;;) {
    std::unique_lock<std::mutex> l(trava_);
    aviso_.wait(l, [this] { return fim_ || !perguntas_.empty(); });
    if (fim_) return;
    auto [chave, cliente] = std::move(perguntas_.front());
    perguntas_.pop_front();
    l.unlock();
    // A fresh look at /proc for each question: over a long capture pids are reused.
    ArvoreDoProc arvore;
    veredito_(chave, exclusao_->deixaDeFora(cliente, arvore));
  }
}

}  // namespace escuta
