#include "escuta/linux/clientes_do_servidor.h"

namespace escuta {

bool ehDoServidor(const Propriedades& p) {
  if (valorDe(p, "wireplumber.daemon") == "true") return true;
  for (const char* chave : {"application.name", "application.process.binary"}) {
    const std::string v = valorDe(p, chave);
    if (v == "pipewire" || v == "pipewire-pulse" || v == "wireplumber" || v == "pipewire-media-session" ||
        v == "pulseaudio")
      return true;
  }
  return false;
}

}  // namespace escuta
