#include "escuta/linux/identidade.h"

#include <algorithm>

namespace escuta {

std::string identidade(const Propriedades& p) {
  for (const char* chave : {"application.id", "pipewire.access.portal.app_id", "application.process.binary"}) {
    const std::string v = valorDe(p, chave);
    if (!v.empty()) return v;
  }
  return {};
}

void juntarPorProcesso(std::vector<Aplicativo>& lista, const Aplicativo& a) {
  auto mesmo = std::find_if(lista.begin(), lista.end(), [&](const Aplicativo& x) { return a.pid != 0 && x.pid == a.pid; });
  if (mesmo == lista.end()) return lista.push_back(a);
  if (mesmo->id.empty()) mesmo->id = a.id;
  if (mesmo->nome.empty()) mesmo->nome = a.nome;
}

}  // namespace escuta
