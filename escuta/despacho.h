#pragma once
// escuta's entry: chooses the mode from the arguments and runs it.
#include <string>
#include <vector>

#include "escuta/plataforma.h"
#include "escuta/processo.h"

namespace escuta {

extern const char* const kBanner;

// `args` is the whole argument vector, program path included. Runs on the
// main thread; every path ends the process through `processo`.
[[noreturn]] void despachar(const std::vector<std::string>& args, Plataforma& plataforma, Processo& processo);

}  // namespace escuta
