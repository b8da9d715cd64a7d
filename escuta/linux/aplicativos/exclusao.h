#pragma once
// What a capture leaves out: every stream of the applications listed under
// the ids asked for (their processes, the processes' descendants, their app
// units), and of any process started since that would be listed under one
// of those ids.
#include <memory>
#include <set>
#include <string>

#include "escuta/linux/aplicativos/reuniao.h"

namespace escuta {

class Exclusao {
 public:
  Exclusao() = default;
  // `listagem`: the listing the ids were picked from.
  Exclusao(Reuniao listagem, std::set<std::string> ids) : listagem_(std::move(listagem)), ids_(std::move(ids)) {}

  bool vazia() const { return ids_.empty(); }
  // Whether the streams of this client are left out. Looks at the system's
  // processes through `arvore`: never on a thread that paces audio.
  bool deixaDeFora(const ClienteDeSom& cliente, Arvore& arvore) const {
    return !vazia() && ids_.count(listagem_.idDoAplicativoDe(cliente, arvore)) > 0;
  }

 private:
  Reuniao listagem_;
  std::set<std::string> ids_;
};

}  // namespace escuta
