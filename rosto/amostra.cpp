#include "rosto/amostra.h"

#include "rosto/formatacao.h"
#include "rosto/registro.h"

namespace rosto {

namespace {

// Diagnostics go straight to standard error, one write per line.
void diagnosticar(const ContextoDaAmostra& contexto, const std::string& linha) {
  if (contexto.depurar) contexto.saida.escreverErro(linha + "\n");
}

ListaDeRostos detectar(const ContextoDaAmostra& contexto, double t, const Imagem& imagem) {
  Resultado<ListaDeRostos> detectado = contexto.pedido.executar(imagem);
  ListaDeRostos rostos;
  if (detectado.ok()) rostos = std::move(detectado.valor());
  if (!contexto.depurar) return rostos;
  if (!detectado.ok()) diagnosticar(contexto, "vision " + tempoCurto(t) + ": " + detectado.erro().descricao);
  const int64_t contagem = rostos ? static_cast<int64_t>(rostos->size()) : -1;
  diagnosticar(contexto, "quadro " + tempoCurto(t) + ": " + inteiro(imagem.largura) + "x" +
                             inteiro(imagem.altura) + " rostos=" + inteiro(contagem));
  return rostos;
}

}  // namespace

void processarAmostra(const ContextoDaAmostra& contexto, double t, const Resultado<Imagem>& extraida) {
  ListaDeRostos rostos;
  if (extraida.ok())
    rostos = detectar(contexto, t, extraida.valor());
  else
    diagnosticar(contexto, "quadro " + tempoCurto(t) + ": " + extraida.erro().descricao);
  escrever(contexto.saida, registroDaAmostra(t, rostos));
}

}  // namespace rosto
