#include "escuta/linux/propriedades.h"

#include <charconv>

namespace escuta {

std::string valorDe(const Propriedades& props, const std::string& chave) {
  const auto it = props.find(chave);
  return it == props.end() ? std::string() : it->second;
}

std::optional<uint32_t> numeroDe(const Propriedades& props, const std::string& chave) {
  const std::string texto = valorDe(props, chave);
  uint32_t v = 0;
  const auto r = std::from_chars(texto.data(), texto.data() + texto.size(), v);
  if (texto.empty() || r.ec != std::errc() || r.ptr != texto.data() + texto.size()) return std::nullopt;
  return v;
}

}  // namespace escuta
