#include "escuta/json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

namespace escuta {
namespace {

TEST(TextoJson, Escapes) {
  EXPECT_EQ(textoJson(""), "\"\"");
  EXPECT_EQ(textoJson("AC/DC"), "\"AC\\/DC\"");
  EXPECT_EQ(textoJson("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(textoJson("\n\t\r\b\f"), "\"\\n\\t\\r\\b\\f\"");
  EXPECT_EQ(textoJson(std::string("\x01\x1f\x00", 3)), "\"\\u0001\\u001f\\u0000\"");
  EXPECT_EQ(textoJson("\x7f"), "\"\x7f\"");
}

TEST(TextoJson, UnicodeCruEInvalidoSubstituido) {
  EXPECT_EQ(textoJson("Música — é"), "\"Música — é\"");
  EXPECT_EQ(textoJson("🎵"), "\"🎵\"");
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(textoJson("a\xFF" "b"), "\"a" + r + "b\"");
  EXPECT_EQ(textoJson("\xC3"), "\"" + r + "\"");                  // cut short
  EXPECT_EQ(textoJson("\xC0\xAF"), "\"" + r + r + "\"");          // overlong solidus
  EXPECT_EQ(textoJson("\xED\xA0\x80"), "\"" + r + r + r + "\"");  // a surrogate
  EXPECT_EQ(textoJson("\xE2\x82" "x"), "\"" + r + "x\"");         // one maximal prefix, one replacement
  EXPECT_EQ(textoJson("\xF4\x90\x80\x80"), "\"" + r + r + r + r + "\"");  // beyond U+10FFFF
}

// Arbitrary bytes always give a literal that a real parser reads back, and
// valid text comes back unchanged.
TEST(TextoJson, BytesQuaisquerViramJsonValido) {
  std::mt19937 sorte(3);
  for (int k = 0; k < 20000; ++k) {
    std::string bytes(sorte() % 12, '\0');
    for (char& c : bytes) c = static_cast<char>(sorte() % 256);
    const std::string literal = textoJson(bytes);
    nlohmann::json lido;
    ASSERT_NO_THROW(lido = nlohmann::json::parse(literal)) << literal;
    ASSERT_TRUE(lido.is_string());
  }
  for (const std::string valido : {"Firefox", "org.mozilla.firefox", "Música/Vídeo \"x\"", "日本語", "a\\b"})
    EXPECT_EQ(nlohmann::json::parse(textoJson(valido)).get<std::string>(), valido);
}

}  // namespace
}  // namespace escuta
