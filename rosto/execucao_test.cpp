#include "rosto/execucao.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "rosto/plataforma_falsa_test.h"

namespace rosto {
namespace {

using teste::PlataformaFalsa;
using teste::rodar;
using teste::Saida;

const std::string kUsoLinha = "uso: rosto <video> [--fps 5] [--inicio s] [--fim s]\n";

void esperaFalha(const Saida& s, const std::string& erro) {
  EXPECT_EQ(s.status, 2);
  EXPECT_EQ(s.erro, erro);
  EXPECT_EQ(s.saida, "");
}

int linhas(const std::string& texto) { return static_cast<int>(std::count(texto.begin(), texto.end(), '\n')); }

std::string ultimaLinha(const std::string& texto) {
  const size_t antes = texto.rfind('\n', texto.size() - 2);
  return texto.substr(antes == std::string::npos ? 0 : antes + 1);
}

TEST(LinhaDeComando, FalhasComOsBytesExatos) {
  PlataformaFalsa p;
  esperaFalha(rodar(p, {}), kUsoLinha);
  esperaFalha(rodar(p, {"--fps", "3", "v.mp4"}), kUsoLinha);
  esperaFalha(rodar(p, {"v.mp4", "--fps=10"}), "argumento desconhecido: --fps=10\n");
  esperaFalha(rodar(p, {"v.mp4", "-v"}), "argumento desconhecido: -v\n");
  // --fim is the value of --fps, then 3 is looked at as a flag.
  esperaFalha(rodar(p, {"v.mp4", "--fps", "--fim", "3"}), "argumento desconhecido: 3\n");
  EXPECT_TRUE(p.abertos.empty());  // none of these got as far as the file
}

TEST(LinhaDeComando, OpcaoDesconhecidaAntesDoArquivoQueFalta) {
  PlataformaFalsa p;
  p.faixas.clear();
  esperaFalha(rodar(p, {"falta.mp4", "--xyz"}), "argumento desconhecido: --xyz\n");
  esperaFalha(rodar(p, {"falta.mp4"}), "o arquivo não tem vídeo: falta.mp4\n");
  esperaFalha(rodar(p, {"-", "--fim", "1"}), "o arquivo não tem vídeo: -\n");
  EXPECT_EQ(p.abertos, (std::vector<std::string>{"falta.mp4", "-"}));
}

TEST(LinhaDeComando, ModeloAusenteFalhaAntesDeQualquerSaida) {
  PlataformaFalsa p;
  p.erroDoPedido = "modelo ausente: /x/rosto/face.tflite";
  esperaFalha(rodar(p, {"v.mp4"}),
              "não consegui carregar o detector de rostos: modelo ausente: /x/rosto/face.tflite\n");
}

int amostras(double duracao, std::vector<std::string> opcoes) {
  PlataformaFalsa p;
  p.duracaoDoVideo = duracao;
  opcoes.insert(opcoes.begin(), "v.mp4");
  const Saida s = rodar(p, opcoes);
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(linhas(s.saida), static_cast<int>(p.tempos.size()) + 1);
  return static_cast<int>(p.tempos.size());
}

TEST(Amostragem, ContagensDoTempoAcumulado) {
  EXPECT_EQ(amostras(2.0, {}), 11);
  EXPECT_EQ(amostras(1.0, {}), 5);
  EXPECT_EQ(amostras(1.0, {"--fps", "10"}), 11);
  EXPECT_EQ(amostras(1.0, {"--fps", "3"}), 3);
  EXPECT_EQ(amostras(3.0, {"--fps", "0.5"}), 2);
  EXPECT_EQ(amostras(3.0, {"--fps", "0"}), 2);
  EXPECT_EQ(amostras(3.0, {"--fps", "-3"}), 2);
  EXPECT_EQ(amostras(3.0, {"--fps", "nan"}), 2);
  EXPECT_EQ(amostras(1.0, {"--fps", "1e1"}), 11);
  EXPECT_EQ(amostras(1.0, {"--fps", "0x14p-1"}), 11);
  EXPECT_EQ(amostras(1.0, {"--fps", " 10"}), 5);
  EXPECT_EQ(amostras(1.0, {"--fps", "10", "--fps", "abc"}), 5);
  EXPECT_EQ(amostras(1.0, {"--fps"}), 5);
  EXPECT_EQ(amostras(0.0, {}), 0);
}

TEST(Amostragem, LimitesDeInicioEFim) {
  for (const char* fim : {"0", "-1", "nan"}) EXPECT_EQ(amostras(2.0, {"--fim", fim}), 0) << fim;
  EXPECT_EQ(amostras(2.0, {"--fim", "1"}), 5);
  EXPECT_EQ(amostras(2.0, {"--inicio", "2"}), 0);
  EXPECT_EQ(amostras(2.0, {"--inicio", "5"}), 0);
  EXPECT_EQ(amostras(2.0, {"--inicio", "1", "--fim", "1.5"}), 3);
  EXPECT_EQ(amostras(2.0, {"--inicio", "-2"}), 11);
  EXPECT_EQ(amostras(2.0, {"--inicio", "nan"}), 11);
  EXPECT_EQ(amostras(NAN, {"--fim", "1"}), 5);  // a NaN duration leaves the limit to --fim
}

TEST(Amostragem, PassoQueNaoMoveOTempoParaNumaAmostra) {
  EXPECT_EQ(amostras(2.0, {"--fps", "inf"}), 1);
  EXPECT_EQ(amostras(1e300, {"--inicio", "1e20"}), 1);
}

TEST(Amostragem, TemposPedidosEmSeiscentosAvos) {
  PlataformaFalsa p;
  p.duracaoDoVideo = 2.0;
  rodar(p, {"v.mp4"});
  ASSERT_EQ(p.tempos.size(), 11u);
  for (size_t k = 0; k < p.tempos.size(); ++k) {
    EXPECT_EQ(p.tempos[k].escala, 600);
    EXPECT_EQ(p.tempos[k].valor, static_cast<int64_t>(120 * k));  // 0.6000000000000001 asks 360
  }
  EXPECT_EQ(tempoEmSeiscentos(1e300).valor, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(tempoEmSeiscentos(-1e300).valor, std::numeric_limits<int64_t>::min());
}

TEST(Amostragem, InicioMenosZeroDaTempoMenosZero) {
  PlataformaFalsa p;
  const Saida s = rodar(p, {"v.mp4", "--inicio", "-0", "--fim", "0.1"});
  EXPECT_EQ(s.saida, "{\"t\":-0.000}\n{\"fim\":true,\"amostras\":1,\"largura\":1920,\"altura\":1080,\"duracao\":2.000}\n");
}

TEST(Execucao, ResumoEAjustesDoGerador) {
  PlataformaFalsa p;
  p.faixas = {FaixaDeVideo{{1920, 1080}, {0, 1, -1, 0, 0, 0}}, FaixaDeVideo{{64, 64}, {}}};
  p.duracaoDoVideo = 2.0;
  const Saida s = rodar(p, {"v.mp4"});
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.erro, "");
  EXPECT_EQ(ultimaLinha(s.saida),
            "{\"fim\":true,\"amostras\":11,\"largura\":1080,\"altura\":1920,\"duracao\":2.000}\n");
  ASSERT_TRUE(p.ajustes);
  EXPECT_TRUE(p.ajustes->aplicaTransformacao);
  EXPECT_EQ(p.ajustes->toleranciaAntes.valor, 0);
  EXPECT_EQ(p.ajustes->toleranciaDepois.valor, 1);
  EXPECT_EQ(p.ajustes->toleranciaDepois.escala, 30);
  EXPECT_DOUBLE_EQ(p.ajustes->tamanhoMaximo.largura, 360);
  EXPECT_DOUBLE_EQ(p.ajustes->tamanhoMaximo.altura, 640);
  EXPECT_EQ(p.pedidosCriados, 1);
  EXPECT_EQ(p.deteccoes, 11);
}

TEST(Execucao, ResumoComValoresEstranhos) {
  EXPECT_EQ(registroFinal(0, 0, 0, 0), "{\"fim\":true,\"amostras\":0,\"largura\":0,\"altura\":0,\"duracao\":0.000}");
  EXPECT_EQ(registroFinal(3, 1919.5, 1080.4, NAN),
            "{\"fim\":true,\"amostras\":3,\"largura\":1920,\"altura\":1080,\"duracao\":nan}");
  EXPECT_EQ(registroFinal(1, 2, 2, INFINITY),
            "{\"fim\":true,\"amostras\":1,\"largura\":2,\"altura\":2,\"duracao\":inf}");
}

TEST(Execucao, EscritaQueFalhaEncerraComStatus2) {
  // The first failed write ends the run, never a status 0 after lost records:
  // a sample's record (the fourth), or the summary of a run without samples.
  struct Caso {
    std::vector<std::string> args;
    int boas;
  };
  for (const Caso& c : {Caso{{"v.mp4"}, 3}, Caso{{"v.mp4", "--fim", "0"}, 0}}) {
    PlataformaFalsa p;
    teste::TerminalFalso terminal;
    terminal.saidasBoas = c.boas;
    const Saida s = rodar(p, c.args, false, terminal);
    EXPECT_EQ(s.status, 2);
    EXPECT_EQ(linhas(s.saida), c.boas);
    EXPECT_EQ(s.erro, "não consegui escrever os registros no stdout: No space left on device\n");
    EXPECT_EQ(std::count_if(s.escritas.begin(), s.escritas.end(), [](const auto& e) { return e.first == 'S'; }),
              c.boas + 1);
  }
}

}  // namespace
}  // namespace rosto
