#pragma once
// Key-value properties as sound servers describe their clients and streams.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace escuta {

using Propriedades = std::map<std::string, std::string>;

// Empty when absent.
std::string valorDe(const Propriedades& props, const std::string& chave);
// Absent unless the whole value is a decimal number that fits.
std::optional<uint32_t> numeroDe(const Propriedades& props, const std::string& chave);

}  // namespace escuta
