#pragma once
// Whether a pid a client reported for itself is the process it claims to be.
// Sandboxed programs report the pid they have inside their sandbox (often
// the same small number for all of them), which on the host is another
// process or none.
#include <cstdint>
#include <optional>
#include <string>

namespace escuta {

// True when /proc (under `raiz`) shows process `pid` running `binario`: its
// executable's file name, or, where that cannot be read, its command name
// (which the kernel cuts to 15 bytes).
bool executaOBinario(int32_t pid, const std::string& binario, const std::string& raiz = "/proc");

// The file name of process `pid`'s executable (the same after an upgrade
// replaced it on disk); empty where it cannot be read.
std::string binarioDoProcesso(int32_t pid, const std::string& raiz = "/proc");

// False once process `pid` has ended and been reaped (or never was, here).
bool processoExiste(int32_t pid);

// Whether the server listening on the Unix socket `caminho` runs in this
// process's pid namespace, so that the pids it and its clients know are
// this /proc's: not so inside an application sandbox. Absent when the
// socket cannot be reached.
std::optional<bool> pidsSaoDaqui(const std::string& caminho);

}  // namespace escuta
