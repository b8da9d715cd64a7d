#include "rosto/linux/trabalhadores.h"

#include <sched.h>

#include <algorithm>
#include <utility>

namespace rosto {

Trabalhadores::Trabalhadores(int quantos) {
  for (int k = 1; k < std::max(1, quantos); ++k) linhas_.emplace_back([this, k] { trabalhar(k); });
}

Trabalhadores::~Trabalhadores() {
  {
    std::lock_guard<std::mutex> g(trava_);
    fim_ = true;
  }
  haTrabalho_.notify_all();
  for (std::thread& t : linhas_) t.join();
}

void Trabalhadores::executar(const std::vector<Tarefa>& tarefas) {
  std::unique_lock<std::mutex> trava(trava_);
  lote_ = &tarefas;
  erro_ = nullptr;
  proxima_ = 0;
  pendentes_ = tarefas.size();
  ++geracao_;
  haTrabalho_.notify_all();
  esvaziar(0, trava);
  terminou_.wait(trava, [this] { return pendentes_ == 0; });
  lote_ = nullptr;
  if (erro_) std::rethrow_exception(std::exchange(erro_, nullptr));
}

void Trabalhadores::esvaziar(int trabalhador, std::unique_lock<std::mutex>& trava) {
  while (lote_ && proxima_ < lote_->size()) {
    const Tarefa& tarefa = (*lote_)[proxima_++];
    trava.unlock();
    std::exception_ptr erro;
    try {
      tarefa(trabalhador);
    } catch (...) {
      erro = std::current_exception();
    }
    trava.lock();
    if (erro && !erro_) erro_ = erro;
    if (--pendentes_ == 0) terminou_.notify_all();
  }
}

void Trabalhadores::trabalhar(int trabalhador) {
  std::unique_lock<std::mutex> trava(trava_);
  unsigned vista = 0;
  while (true) {
    haTrabalho_.wait(trava, [&] { return fim_ || geracao_ != vista; });
    if (fim_) return;
    vista = geracao_;
    esvaziar(trabalhador, trava);
  }
}

int processadoresDisponiveis() {
  cpu_set_t conjunto;
  if (sched_getaffinity(0, sizeof(conjunto), &conjunto) != 0) return 1;
  return std::max(1, CPU_COUNT(&conjunto));
}

}  // namespace rosto
