#pragma once
// rosto's run: command line, set-up, sampling loop and summary.
#include <string>
#include <vector>

#include "rosto/plataforma.h"
#include "rosto/terminal.h"

namespace rosto {

// `args` without the program name; `depurarNoAmbiente` tells whether the
// environment holds ROSTO_DEPURAR. Returns the exit status of a completed
// run (0); every fatal error ends the process through falhar instead.
int executar(std::vector<std::string> args, bool depurarNoAmbiente, Plataforma& plataforma,
             Terminal& terminal);

// The summary line that closes a completed run.
std::string registroFinal(int64_t amostras, double largura, double altura, double duracao);

// Seconds to a time in 1/600 s units, rounded to nearest, saturating at the
// ends of the 64-bit range.
Tempo tempoEmSeiscentos(double segundos);

}  // namespace rosto
