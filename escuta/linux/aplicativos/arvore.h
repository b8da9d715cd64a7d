#pragma once
// The system's processes as the listing and the exclusion look at them. The
// real one reads /proc; tests script their own.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace escuta {

class Arvore {
 public:
  virtual ~Arvore() = default;
  // Every process this process can see.
  virtual std::vector<int32_t> todos() = 0;
  // Its parent; 0 when unknown or gone.
  virtual int32_t pai(int32_t pid) = 0;
  // When it started (clock ticks since boot); 0 when unknown.
  virtual uint64_t inicio(int32_t pid) = 0;
  // The systemd app unit it runs in; empty when none.
  virtual std::string unidade(int32_t pid) = 0;
  // Its executable's file name, else its command name; empty when unknown.
  virtual std::string binario(int32_t pid) = 0;
  // Its command name (at most 15 bytes).
  virtual std::string comando(int32_t pid) = 0;
  // Its command line's words.
  virtual std::vector<std::string> argumentos(int32_t pid) = 0;
  // The user it runs as; -1 when unknown.
  virtual int64_t usuario(int32_t pid) = 0;
  // The Flatpak app id its sandbox declares; empty when it runs in none.
  virtual std::string flatpak(int32_t pid) = 0;
  // Whether it runs `binario` (see executaOBinario).
  virtual bool executa(int32_t pid, const std::string& binario) = 0;
};

// /proc, each process looked at once: what an instance has read it keeps,
// so one listing judges each process on one state of it.
class ArvoreDoProc : public Arvore {
 public:
  explicit ArvoreDoProc(std::string raiz = "/proc") : raiz_(std::move(raiz)) {}
  std::vector<int32_t> todos() override;
  int32_t pai(int32_t pid) override { return estado(pid).pai; }
  uint64_t inicio(int32_t pid) override { return estado(pid).inicio; }
  std::string unidade(int32_t pid) override;
  std::string binario(int32_t pid) override;
  std::string comando(int32_t pid) override { return estado(pid).comando; }
  std::vector<std::string> argumentos(int32_t pid) override;
  int64_t usuario(int32_t pid) override;
  std::string flatpak(int32_t pid) override;
  bool executa(int32_t pid, const std::string& binario) override;

 private:
  struct Estado {
    int32_t pai = 0;
    uint64_t inicio = 0;
    std::string comando;
  };
  const Estado& estado(int32_t pid);
  std::string arquivo(int32_t pid, const char* nome) const;

  std::string raiz_;
  std::map<int32_t, Estado> estados_;
  std::map<int32_t, std::string> unidades_, binarios_, flatpaks_;
  std::map<std::pair<int32_t, std::string>, bool> executam_;
};

// The fields of /proc/<pid>/stat this needs; all zero when it does not parse.
struct Stat {
  std::string comando;
  int32_t pai = 0;
  uint64_t inicio = 0;
};
Stat lerStat(const std::string& texto);

}  // namespace escuta
