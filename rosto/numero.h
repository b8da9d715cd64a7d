#pragma once
#include <optional>
#include <string_view>

namespace rosto {

// Reads an option value as strtod does in the C locale, accepting it only
// when the whole text is consumed. Empty text and a leading whitespace
// character are rejected. Out-of-range values keep what strtod gives
// (±inf on overflow, 0 or a subnormal on underflow).
std::optional<double> lerNumero(std::string_view texto);

}  // namespace rosto
