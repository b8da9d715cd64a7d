// The bytes the listing reads from other programs: sway's tree, a process's
// cgroup and stat lines, unit names, desktop entries and .flatpak-info. None
// may crash it, whatever they hold; what each gives back keeps its promises.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "escuta/linux/aplicativos/arquivo_de_chaves.h"
#include "escuta/linux/aplicativos/arvore.h"
#include "escuta/linux/janelas/wayland/sway.h"
#include "escuta/linux/unidades/unidades.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  if (tamanho == 0) return 0;
  const std::string texto(reinterpret_cast<const char*>(dados) + 1, tamanho - 1);
  switch (dados[0] % 4) {
    case 0:
      for (const escuta::VistaDoSway& v : escuta::vistasDaArvore(texto))
        if (v.pid <= 0) std::abort();
      break;
    case 1: {
      // A unit found in a cgroup line is an app unit, and found again on its own line.
      const std::string unidade = escuta::unidadeDoCgroup(texto);
      if (!unidade.empty() && (escuta::idDaUnidade(unidade).empty() || escuta::unidadeDoCgroup("0::/" + unidade) != unidade))
        std::abort();
      break;
    }
    case 2:
      (void)escuta::valorDoArquivoDeChaves(texto, "Desktop Entry", "Name");
      break;
    default:
      if (escuta::lerStat(texto).pai < 0) std::abort();
      break;
  }
  return 0;
}
