#pragma once
// A fixed set of threads that runs a batch of independent jobs and waits for
// all of them. Each job is told which worker runs it, so that it can use
// that worker's own state (a network is not shared between threads).
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace rosto {

class Trabalhadores {
 public:
  using Tarefa = std::function<void(int trabalhador)>;

  // `quantos` workers, the calling thread being the first; one runs every
  // job on the caller and starts no thread.
  explicit Trabalhadores(int quantos);
  ~Trabalhadores();
  Trabalhadores(const Trabalhadores&) = delete;
  Trabalhadores& operator=(const Trabalhadores&) = delete;

  int quantos() const { return static_cast<int>(linhas_.size()) + 1; }

  // Runs every job once, in any order and on any worker; returns when all
  // are done. When jobs throw, the first exception caught is thrown here.
  void executar(const std::vector<Tarefa>& tarefas);

 private:
  void trabalhar(int trabalhador);
  // Takes and runs jobs of the current batch until none is left.
  void esvaziar(int trabalhador, std::unique_lock<std::mutex>& trava);

  std::mutex trava_;
  std::condition_variable haTrabalho_, terminou_;
  const std::vector<Tarefa>* lote_ = nullptr;
  size_t proxima_ = 0, pendentes_ = 0;
  std::exception_ptr erro_;
  unsigned geracao_ = 0;
  bool fim_ = false;
  std::vector<std::thread> linhas_;
};

// How many CPUs this process may run on (its affinity, as taskset sets it).
int processadoresDisponiveis();

}  // namespace rosto
