// The listing document for arbitrary bytes as ids and names: it must always
// parse, and text that is valid UTF-8 must come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "escuta/listagem.h"

namespace {
bool utf8Valido(const std::string& s) {
  try {
    (void)nlohmann::json(s).dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  // Fields separated by 0xFF 0xFE (which valid UTF-8 never holds), taken in pairs.
  const std::string entrada(reinterpret_cast<const char*>(dados), tamanho);
  std::vector<std::string> campos;
  for (size_t inicio = 0;;) {
    const size_t sep = entrada.find("\xFF\xFE", inicio);
    campos.push_back(entrada.substr(inicio, sep - inicio));
    if (sep == std::string::npos) break;
    inicio = sep + 2;
  }
  escuta::ConteudoCompartilhavel c;
  c.telas.push_back({static_cast<uint32_t>(tamanho * 2654435761u), -static_cast<int64_t>(tamanho), 1});
  for (size_t k = 0; k + 1 < campos.size() + 1; k += 2)
    c.aplicativos.push_back({campos[k], k + 1 < campos.size() ? campos[k + 1] : "", static_cast<int32_t>(k) - 3});
  const nlohmann::json doc = nlohmann::json::parse(escuta::documentoDaListagem(c));  // throws: a crash
  if (doc["telas"][0]["id"].get<uint64_t>() != c.telas[0].id) std::abort();
  for (size_t k = 0; k < c.aplicativos.size(); ++k) {
    const auto& a = c.aplicativos[k];
    if (doc["aplicativos"][k]["pid"].get<int64_t>() != a.pid) std::abort();
    if (utf8Valido(a.id) && doc["aplicativos"][k]["id"].get<std::string>() != a.id) std::abort();
    if (utf8Valido(a.nome) && doc["aplicativos"][k]["nome"].get<std::string>() != a.nome) std::abort();
  }
  return 0;
}
