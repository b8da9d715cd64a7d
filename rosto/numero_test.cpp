#include "rosto/numero.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

namespace rosto {
namespace {

TEST(LerNumero, AceitaAsFormasDeStrtod) {
  EXPECT_EQ(lerNumero("5"), 5.0);
  EXPECT_EQ(lerNumero("1e1"), 10.0);
  EXPECT_EQ(lerNumero("0x14p-1"), 10.0);
  EXPECT_EQ(lerNumero("+2.5"), 2.5);
  EXPECT_EQ(lerNumero(".5"), 0.5);
  EXPECT_EQ(lerNumero("5."), 5.0);
  EXPECT_EQ(lerNumero("INFINITY"), INFINITY);
  EXPECT_EQ(lerNumero("-inf"), -INFINITY);
  ASSERT_TRUE(lerNumero("nan").has_value());
  EXPECT_TRUE(std::isnan(*lerNumero("NaN")));
  ASSERT_TRUE(lerNumero("-0").has_value());
  EXPECT_TRUE(std::signbit(*lerNumero("-0")));
}

TEST(LerNumero, RecusaEspacosEResto) {
  EXPECT_FALSE(lerNumero(""));
  EXPECT_FALSE(lerNumero(" 5"));
  EXPECT_FALSE(lerNumero("\t5"));
  EXPECT_FALSE(lerNumero("\n5"));
  EXPECT_FALSE(lerNumero("5 "));
  EXPECT_FALSE(lerNumero("5x"));
  EXPECT_FALSE(lerNumero("abc"));
  EXPECT_FALSE(lerNumero("--fim"));
  EXPECT_FALSE(lerNumero("- 5"));
  EXPECT_FALSE(lerNumero("1,5"));
  EXPECT_FALSE(lerNumero(std::string("5\0" "1", 3)));
}

TEST(LerNumero, ForaDaFaixaFicaComOQueStrtodDa) {
  EXPECT_EQ(lerNumero("1e999"), INFINITY);
  EXPECT_EQ(lerNumero("-1e999"), -INFINITY);
  EXPECT_EQ(lerNumero("1e-999"), 0.0);
}

// Strings built from the characters strtod cares about, checked against
// strtod itself: same acceptance, same value bits.
TEST(LerNumero, ConcordaComStrtodEmTextosGerados) {
  const std::string alfabeto = "0123456789+-.eEpPxXabcdfinINtyAF \t";
  std::mt19937 gerador(12345);
  std::uniform_int_distribution<size_t> letra(0, alfabeto.size() - 1);
  std::uniform_int_distribution<int> tamanho(1, 10);
  int aceitos = 0;
  for (int k = 0; k < 200000; ++k) {
    std::string texto;
    for (int n = tamanho(gerador); n > 0; --n) texto += alfabeto[letra(gerador)];
    char* fim = nullptr;
    const double esperado = std::strtod(texto.c_str(), &fim);
    const bool inteiro = fim == texto.c_str() + texto.size() && !std::isspace(static_cast<unsigned char>(texto[0]));
    const std::optional<double> lido = lerNumero(texto);
    ASSERT_EQ(lido.has_value(), inteiro) << "'" << texto << "'";
    if (lido && !std::isnan(esperado)) {
      ASSERT_EQ(std::signbit(*lido), std::signbit(esperado)) << texto;
      ASSERT_EQ(*lido, esperado) << texto;
      ++aceitos;
    }
  }
  EXPECT_GT(aceitos, 1000);  // the alphabet must exercise the accepting side too
}

}  // namespace
}  // namespace rosto
