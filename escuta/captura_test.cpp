#include "escuta/captura.h"

#include <gtest/gtest.h>

#include "escuta/plataforma_falsa_test.h"

namespace escuta {
namespace {

using teste::AmostraFalsa;
using teste::PlataformaFalsa;
using teste::ProcessoFalso;
using teste::rodar;

const std::string kPermissao =
    "sem permissão de Gravação de Tela — abra Ajustes do Sistema → Privacidade e Segurança → Gravação de Tela e "
    "autorize o Morvela\n";

void comTelas(PlataformaFalsa& p) {
  p.conteudo.telas = {{69733382, 1920, 1080}, {4000000000u, 1280, 720}};
  p.conteudo.aplicativos = {{"org.exemplo.A", "A", 10}, {"org.exemplo.B", "B", 11}, {"org.exemplo.A", "A2", 12}};
}

TEST(Captura, PadroesEConfiguracao) {
  PlataformaFalsa p;
  comTelas(p);
  const auto s = rodar(p, {"escuta", "--audio"});
  EXPECT_EQ(s.status, -1);  // running: asleep for good
  EXPECT_EQ(s.erro, "pronto: 48000 Hz, 2 canal(is), float32 intercalado no stdout\n");
  EXPECT_EQ(s.saida, "");
  ASSERT_TRUE(p.filtro && p.configuracao);
  EXPECT_EQ(p.filtro->tela.id, 69733382u);
  EXPECT_TRUE(p.filtro->excluidos.empty());
  const ConfiguracaoDoFluxo& c = *p.configuracao;
  EXPECT_TRUE(c.capturaAudio);
  EXPECT_EQ(c.taxa, 48000);
  EXPECT_EQ(c.canais, 2);
  EXPECT_EQ(c.largura, 2);
  EXPECT_EQ(c.altura, 2);
  EXPECT_EQ(c.intervaloMinimo.valor, 1);
  EXPECT_EQ(c.intervaloMinimo.escala, 1);
  EXPECT_EQ(c.profundidadeDaFila, 6);
  EXPECT_EQ(p.rotulos, std::vector<std::string>{"morvela.audio"});
  EXPECT_EQ(p.tipo, TipoDeSaida::audio);
  EXPECT_TRUE(p.saidaEhODelegado);  // one object, both roles
  EXPECT_TRUE(p.iniciado);
}

TEST(Captura, ValoresPassamSemConferencia) {
  PlataformaFalsa p;
  comTelas(p);
  const auto s = rodar(p, {"escuta", "--audio", "--canais", "7", "--taxa", "-44100"});
  EXPECT_EQ(s.erro, "pronto: -44100 Hz, 7 canal(is), float32 intercalado no stdout\n");
  EXPECT_EQ(p.configuracao->canais, 7);
  EXPECT_EQ(p.configuracao->taxa, -44100);
}

TEST(Captura, EscolhaDaTela) {
  EXPECT_EQ(escolherTela({{5, 1, 1}, {4000000000u, 2, 2}}, 4000000000)->id, 4000000000u);
  EXPECT_EQ(escolherTela({{5, 1, 1}, {4000000000u, 2, 2}}, std::nullopt)->id, 5u);
  EXPECT_EQ(escolherTela({{5, 1, 1}, {4000000000u, 2, 2}}, 77)->id, 5u);
  // A negative id never matches an unsigned display id by sign extension.
  EXPECT_EQ(escolherTela({{5, 1, 1}, {4294967295u, 2, 2}}, -1)->id, 5u);
  EXPECT_FALSE(escolherTela({}, 5));
  PlataformaFalsa p;
  comTelas(p);
  rodar(p, {"escuta", "--audio", "--tela", "4000000000"});
  EXPECT_EQ(p.filtro->tela.id, 4000000000u);
}

TEST(Captura, Exclusao) {
  PlataformaFalsa p;
  comTelas(p);
  rodar(p, {"escuta", "--audio", "--excluir-app", "org.exemplo.A"});
  ASSERT_EQ(p.filtro->excluidos.size(), 2u);  // both applications with that id
  EXPECT_EQ(p.filtro->excluidos[0].pid, 10);
  EXPECT_EQ(p.filtro->excluidos[1].pid, 12);
  EXPECT_TRUE(aplicativosExcluidos(p.conteudo.aplicativos, "ORG.EXEMPLO.A").empty());
  EXPECT_TRUE(aplicativosExcluidos(p.conteudo.aplicativos, "org.exemplo").empty());
  EXPECT_TRUE(aplicativosExcluidos(p.conteudo.aplicativos, "").empty());
}

TEST(Captura, Falhas) {
  PlataformaFalsa semPermissao;
  comTelas(semPermissao);
  semPermissao.erroDoConteudo = Erro{"x"};
  auto s = rodar(semPermissao, {"escuta", "--audio"});
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.erro, kPermissao);

  PlataformaFalsa semTela;
  s = rodar(semTela, {"escuta", "--audio", "--tela", "3"});
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.erro, "nenhuma tela encontrada\n");

  PlataformaFalsa naoAdiciona;
  comTelas(naoAdiciona);
  naoAdiciona.erroAoAdicionar = Erro{"fila recusada"};
  s = rodar(naoAdiciona, {"escuta", "--audio"});
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.erro, "não consegui abrir a captura: fila recusada\n");
  EXPECT_FALSE(naoAdiciona.iniciado);

  PlataformaFalsa naoInicia;
  comTelas(naoInicia);
  naoInicia.erroAoIniciar = Erro{"taxa inválida: 0"};
  s = rodar(naoInicia, {"escuta", "--audio", "--taxa", "0"});
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.erro, "não consegui abrir a captura: taxa inválida: 0\n");
  for (const auto* p : {&semPermissao, &semTela, &naoAdiciona, &naoInicia}) EXPECT_EQ(p->pedidos, 1);
}

TEST(Captura, AmostrasDepoisDoInicioVaoParaOStdout) {
  PlataformaFalsa p;
  comTelas(p);
  ProcessoFalso processo;
  const std::vector<float> l{1, 2}, r{3, 4};
  processo.aoDormir = [&] {
    p.saida->fluxoEntregou(AmostraFalsa({{l.data(), 8}, {r.data(), 8}}), TipoDeSaida::audio);
    p.delegado->fluxoParou(Erro{"acabou"});
  };
  const auto s = rodar(p, {"escuta", "--audio"}, processo);
  const std::vector<float> esperado{1, 3, 2, 4};
  EXPECT_EQ(s.saida, std::string(reinterpret_cast<const char*>(esperado.data()), 16));
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.erro, "pronto: 48000 Hz, 2 canal(is), float32 intercalado no stdout\ncaptura interrompida: acabou\n");
}

}  // namespace
}  // namespace escuta
