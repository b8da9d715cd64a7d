#include "rosto/formatacao.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace rosto {
namespace {

TEST(Fixo, ComoPrintfNoLocaleC) {
  EXPECT_EQ(fixo(1.2, 3), "1.200");
  EXPECT_EQ(fixo(-0.0, 3), "-0.000");
  EXPECT_EQ(fixo(-0.00001, 4), "-0.0000");
  EXPECT_EQ(fixo(1.9999999999999998, 3), "2.000");
  EXPECT_EQ(fixo(1920, 0), "1920");
  EXPECT_EQ(fixo(INFINITY, 3), "inf");
  EXPECT_EQ(fixo(NAN, 3), "nan");
  // The float nearest 0.9995 lies below it.
  EXPECT_EQ(fixo(static_cast<double>(0.9995f), 3), "0.999");
}

TEST(Fixo, ConcordaComSnprintf) {
  const double valores[] = {0.00005, 0.12345, 0.5, 2.5, 1e15 + 0.5, 123456.78125, 1e300, -7.77777};
  for (double v : valores)
    for (int casas : {0, 3, 4}) {
      char esperado[512];
      std::snprintf(esperado, sizeof esperado, "%.*f", casas, v);
      EXPECT_EQ(fixo(v, casas), esperado) << v;
    }
}

TEST(TempoCurto, MenorTextoComUmaCasa) {
  EXPECT_EQ(tempoCurto(0.0), "0.0");
  EXPECT_EQ(tempoCurto(-0.0), "-0.0");
  EXPECT_EQ(tempoCurto(0.2), "0.2");
  EXPECT_EQ(tempoCurto(1.0), "1.0");
  EXPECT_EQ(tempoCurto(0.2 + 0.2 + 0.2), "0.6000000000000001");
  EXPECT_EQ(tempoCurto(1.9999999999999998), "1.9999999999999998");
  EXPECT_EQ(tempoCurto(1234567.0), "1234567.0");
}

}  // namespace
}  // namespace rosto
