#pragma once
// Reading the small files of /proc, /sys and the desktop's folders.
#include <cstddef>
#include <string>

namespace escuta {

// The first `maximo` bytes of a file, or fewer; empty when it cannot be read.
std::string lerArquivo(const std::string& caminho, size_t maximo);

}  // namespace escuta
