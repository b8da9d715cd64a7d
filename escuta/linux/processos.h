#pragma once
// Whether a pid a client reported for itself is the process it claims to be.
// Sandboxed programs report the pid they have inside their sandbox (often
// the same small number for all of them), which on the host is another
// process or none.
#include <cstdint>
#include <string>

namespace escuta {

// True when /proc (under `raiz`) shows process `pid` running `binario`: its
// executable's file name, or, where that cannot be read, its command name
// (which the kernel cuts to 15 bytes).
bool executaOBinario(int32_t pid, const std::string& binario, const std::string& raiz = "/proc");

// False once process `pid` has ended and been reaped (or never was, here).
bool processoExiste(int32_t pid);

}  // namespace escuta
