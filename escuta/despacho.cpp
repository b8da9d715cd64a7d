#include "escuta/despacho.h"

#include "escuta/argumentos.h"
#include "escuta/captura.h"
#include "escuta/listagem.h"

namespace escuta {

const char* const kBanner =
    "MORVELA — captura nativa do macOS (o caminho do Quelt, sem driver virtual)\n"
    "\n"
    "  --listar                    telas e aplicativos, em JSON\n"
    "  --audio                     som do sistema em PCM float32 no stdout\n"
    "    --taxa 48000              amostras por segundo\n"
    "    --canais 2                1 ou 2\n"
    "    --tela <id>               capturar o som de uma tela específica\n"
    "    --excluir-app <bundle>    não captar o som deste aplicativo";

void despachar(const std::vector<std::string>& args, Plataforma& plataforma, Processo& processo) {
  if (tem(args, "--listar")) {
    listar(plataforma, processo);
    processo.encerrar(0);
  }
  if (!tem(args, "--audio")) sair(processo, kBanner, 2);
  const OpcoesDeCaptura o = lerOpcoesDeCaptura(args);
  capturarAudio(plataforma, processo, o.telaEscolhida, o.excluirBundle, o.taxa, o.canais);
}

}  // namespace escuta
