#pragma once
// Number texts of the output lines, independent of the process locale.
#include <cstdint>
#include <string>

namespace rosto {

// As printf's %.<casas>f in the C locale: correctly rounded, "-0.000" for
// negative zero, "inf"/"nan" spelled in lower case.
std::string fixo(double valor, int casas);

// The shortest text that reads back as the same double, with at least one
// digit after the point: 0.0, 0.2, 0.6000000000000001. Values whose shortest
// form needs an exponent keep it (1e+300).
std::string tempoCurto(double valor);

std::string inteiro(int64_t valor);

}  // namespace rosto
