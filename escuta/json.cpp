#include "escuta/json.h"

#include <cstdint>

namespace escuta {

namespace {

constexpr const char* kSubstituto = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence starting at `s[0]`, or the length of
// the maximal invalid prefix to replace (at least 1) as a negative number.
int sequencia(std::string_view s) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t c = b(0);
  if (c < 0x80) return 1;
  int n;
  uint8_t menor = 0x80, maior = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, menor = c == 0xE0 ? 0xA0 : 0x80, maior = c == 0xED ? 0x9F : 0xBF;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, menor = c == 0xF0 ? 0x90 : 0x80, maior = c == 0xF4 ? 0x8F : 0xBF;
  else return -1;
  for (int k = 1; k < n; ++k) {
    if (static_cast<size_t>(k) >= s.size()) return -k;
    const uint8_t lo = k == 1 ? menor : 0x80, hi = k == 1 ? maior : 0xBF;
    if (b(k) < lo || b(k) > hi) return -k;
  }
  return n;
}

void escapar(char c, std::string& saida) {
  static const char* kHex = "0123456789abcdef";
  switch (c) {
    case '"': saida += "\\\""; return;
    case '\\': saida += "\\\\"; return;
    case '/': saida += "\\/"; return;
    case '\b': saida += "\\b"; return;
    case '\f': saida += "\\f"; return;
    case '\n': saida += "\\n"; return;
    case '\r': saida += "\\r"; return;
    case '\t': saida += "\\t"; return;
    default: break;
  }
  if (static_cast<uint8_t>(c) < 0x20) {
    saida += "\\u00";
    saida += kHex[(c >> 4) & 0xF];
    saida += kHex[c & 0xF];
  } else {
    saida += c;
  }
}

}  // namespace

std::string textoJson(std::string_view texto) {
  std::string saida = "\"";
  while (!texto.empty()) {
    const int n = sequencia(texto);
    if (n < 0) {
      saida += kSubstituto;
      texto.remove_prefix(static_cast<size_t>(-n));
    } else if (n == 1) {
      escapar(texto.front(), saida);
      texto.remove_prefix(1);
    } else {
      saida.append(texto.substr(0, static_cast<size_t>(n)));
      texto.remove_prefix(static_cast<size_t>(n));
    }
  }
  return saida + "\"";
}

}  // namespace escuta
