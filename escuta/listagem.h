#pragma once
// The --listar mode: displays and applications as one compact JSON document.
#include <string>

#include "escuta/plataforma.h"
#include "escuta/processo.h"

namespace escuta {

inline constexpr const char* kMensagemDePermissao =
    "sem permissão de Gravação de Tela — abra Ajustes do Sistema → Privacidade e Segurança → "
    "Gravação de Tela e autorize o Morvela";

// The permission message as the JSON line the listing writes on standard error.
std::string linhaDeErroDePermissao();

// {"telas":[…],"aplicativos":[…]}, with no line feed.
std::string documentoDaListagem(const ConteudoCompartilhavel& conteudo);

// Waits for the platform's content, then writes the document to standard
// output and returns. Without the content it writes the permission line and
// exits 1; a failed write exits 1 with its reason, a reader gone as SIGPIPE does.
void listar(Plataforma& plataforma, Processo& processo);

// Asks for the shareable content and waits, on this thread, for its completion.
Resultado<ConteudoCompartilhavel> aguardarConteudo(Plataforma& plataforma);

}  // namespace escuta
