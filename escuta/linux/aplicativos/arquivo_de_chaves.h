#pragma once
// Key files, as desktop entries and Flatpak's .flatpak-info are written:
// "[Group]" lines, then "Key=Value" lines.
#include <string>
#include <string_view>

namespace escuta {

// The value of `chave` in group `grupo` (its first, untranslated form), with
// \s \n \t \r \\ unescaped; empty when absent.
std::string valorDoArquivoDeChaves(std::string_view texto, std::string_view grupo, std::string_view chave);

}  // namespace escuta
