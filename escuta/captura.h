#pragma once
// The --audio mode: set up the system-sound stream and hand it to SaidaDeAudio.
#include <cstdint>
#include <optional>
#include <string>

#include "escuta/plataforma.h"
#include "escuta/processo.h"

namespace escuta {

// Never returns: after the ready line the calling thread sleeps for good
// while samples flow on the platform's threads; failures exit with status 1.
[[noreturn]] void capturarAudio(Plataforma& plataforma, Processo& processo, std::optional<int64_t> telaEscolhida,
                                const std::optional<std::string>& excluirBundle, int64_t taxa, int64_t canais);

// The first display whose id, widened without sign extension, equals `telaEscolhida`;
// otherwise the first one; absent when there is none.
std::optional<Tela> escolherTela(const std::vector<Tela>& telas, std::optional<int64_t> telaEscolhida);

// Every application whose id equals `excluirBundle` exactly.
std::vector<Aplicativo> aplicativosExcluidos(const std::vector<Aplicativo>& aplicativos,
                                             const std::optional<std::string>& excluirBundle);

}  // namespace escuta
