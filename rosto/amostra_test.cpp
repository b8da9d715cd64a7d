#include "rosto/amostra.h"

#include <gtest/gtest.h>

#include "rosto/plataforma_falsa_test.h"

namespace rosto {
namespace {

using teste::PlataformaFalsa;
using teste::rodar;
using Escritas = std::vector<std::pair<char, std::string>>;

Rosto rosto(double x, double y, double w, double h, float c) { return {{x, y, w, h}, c}; }

TEST(Diagnostico, ExtracaoFalhaDaUmaLinhaEOTempo) {
  PlataformaFalsa p;
  p.quadro = [](Tempo) { return Resultado<Imagem>(Erro{"sem quadro neste tempo"}); };
  const auto s = rodar(p, {"v.mp4", "--fim", "0.3"}, true);
  EXPECT_EQ(s.escritas, (Escritas{{'E', "quadro 0.0: sem quadro neste tempo\n"},
                                  {'S', "{\"t\":0.000}\n"},
                                  {'E', "quadro 0.2: sem quadro neste tempo\n"},
                                  {'S', "{\"t\":0.200}\n"},
                                  {'S', "{\"fim\":true,\"amostras\":2,\"largura\":1920,\"altura\":1080,\"duracao\":2.000}\n"}}));
  EXPECT_EQ(p.deteccoes, 0);  // no detection without an image
}

TEST(Diagnostico, DeteccaoFalhaDaDuasLinhasEAntesORegistro) {
  PlataformaFalsa p;
  p.deteccao = [](int n) {
    if (n == 0) return Resultado<ListaDeRostos>(Erro{"rede falhou"});
    return Resultado<ListaDeRostos>(ListaDeRostos(std::vector<Rosto>{rosto(0.4, 0.5, 0.2, 0.3, 0.5f)}));
  };
  const auto s = rodar(p, {"v.mp4", "--fim", "0.1"}, true);
  EXPECT_EQ(s.escritas, (Escritas{{'E', "vision 0.0: rede falhou\n"},
                                  {'E', "quadro 0.0: 640x360 rostos=-1\n"},
                                  {'S', "{\"t\":0.000}\n"},
                                  {'S', "{\"fim\":true,\"amostras\":1,\"largura\":1920,\"altura\":1080,\"duracao\":2.000}\n"}}));
}

TEST(Diagnostico, QuadroComContagemETempoAcumulado) {
  PlataformaFalsa p;
  p.deteccao = [](int n) {
    if (n == 1) return Resultado<ListaDeRostos>(ListaDeRostos(std::nullopt));
    std::vector<Rosto> rostos;
    if (n == 3) rostos = {rosto(0, 0, 0.1, 0.1, 0.9f), rosto(0.5, 0.5, 0.1, 0.1, 0.8f)};
    return Resultado<ListaDeRostos>(ListaDeRostos(rostos));
  };
  const auto s = rodar(p, {"v.mp4", "--fim", "0.7"}, true);
  EXPECT_EQ(s.erro,
            "quadro 0.0: 640x360 rostos=0\n"
            "quadro 0.2: 640x360 rostos=-1\n"
            "quadro 0.4: 640x360 rostos=0\n"
            "quadro 0.6000000000000001: 640x360 rostos=2\n");
}

TEST(Diagnostico, DesligadoNadaVaiParaOErro) {
  PlataformaFalsa p;
  p.quadro = [](Tempo t) {
    if (t.valor == 0) return Resultado<Imagem>(Erro{"x"});
    return Resultado<Imagem>(Imagem{640, 360, 640 * 3, nullptr});
  };
  p.deteccao = [](int) { return Resultado<ListaDeRostos>(Erro{"y"}); };
  const auto s = rodar(p, {"v.mp4"}, false);
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.erro, "");
  EXPECT_EQ(s.saida.substr(0, 24), "{\"t\":0.000}\n{\"t\":0.200}\n");
}

TEST(Amostra, FalhaDeDeteccaoNaoTrazRostosDeAntes) {
  PlataformaFalsa p;
  p.deteccao = [](int n) {
    if (n == 1) return Resultado<ListaDeRostos>(Erro{"falhou"});
    return Resultado<ListaDeRostos>(ListaDeRostos(std::vector<Rosto>{rosto(0.4, 0.5, 0.2, 0.3, 0.5f)}));
  };
  const auto s = rodar(p, {"v.mp4", "--fim", "0.3"});
  EXPECT_EQ(s.saida.substr(0, s.saida.find("{\"fim\"")),
            "{\"t\":0.000,\"x\":0.5000,\"y\":0.3500,\"w\":0.2000,\"h\":0.3000,\"c\":0.500,\"n\":1,"
            "\"rostos\":[{\"x\":0.5000,\"y\":0.3500,\"w\":0.2000,\"h\":0.3000,\"c\":0.500}]}\n"
            "{\"t\":0.200}\n");
}

}  // namespace
}  // namespace rosto
