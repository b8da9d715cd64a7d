#include "escuta/linux/aplicativos/identidade.h"

#include <cctype>

#include "escuta/linux/processos.h"

namespace escuta {

std::string identidade(const Indicios& i) {
  const std::string* ordem[] = {&i.unidade, &i.daJanela, i.naTela ? nullptr : &i.doSom, &i.flatpak, &i.binario};
  for (const std::string* v : ordem)
    if (v && !v->empty()) return *v;
  std::string classe = i.classe;
  for (char& c : classe) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return classe;
}

Indicios indiciosDoSom(const ClienteDeSom& c, const std::string& flatpakDoProcesso) {
  Indicios i;
  i.doSom = c.id;
  i.flatpak = c.flatpak.empty() ? flatpakDoProcesso : c.flatpak;
  i.binario = c.binario;
  return i;
}

int32_t pidConfiavel(const ClienteDeSom& c, Arvore& arvore) {
  return c.pid > 0 && arvore.executa(c.pid, c.binario) ? c.pid : 0;
}

// Looked at after the pid was judged, so one that ended in between is seen gone.
bool semProcesso(const ClienteDeSom& c, Arvore& arvore) {
  return c.pid > 0 && pidConfiavel(c, arvore) == 0 && !processoExiste(c.pid);
}

}  // namespace escuta
