#include "rosto/registro.h"

#include <gtest/gtest.h>

namespace rosto {
namespace {

Rosto rosto(double x, double y, double w, double h, float c) { return {{x, y, w, h}, c}; }

// The record's opening up to the primary face's fields.
std::string comeco(const std::string& registro, const std::string& esperado) {
  return registro.substr(0, esperado.size());
}

TEST(Registro, ExemploComDoisRostos) {
  const ListaDeRostos rostos(std::vector<Rosto>{rosto(0.10, 0.20, 0.05, 0.08, 0.75f),
                                                rosto(0.40, 0.50, 0.20, 0.30, 0.998f)});
  EXPECT_EQ(registroDaAmostra(1.2, rostos),
            "{\"t\":1.200,\"x\":0.5000,\"y\":0.3500,\"w\":0.2000,\"h\":0.3000,\"c\":0.998,\"n\":2,"
            "\"rostos\":[{\"x\":0.5000,\"y\":0.3500,\"w\":0.2000,\"h\":0.3000,\"c\":0.998},"
            "{\"x\":0.1250,\"y\":0.7600,\"w\":0.0500,\"h\":0.0800,\"c\":0.750}]}");
}

TEST(Registro, SemRostosSoOTempo) {
  EXPECT_EQ(registroDaAmostra(0.4, std::nullopt), "{\"t\":0.400}");
  EXPECT_EQ(registroDaAmostra(0.4, ListaDeRostos(std::vector<Rosto>{})), "{\"t\":0.400}");
  EXPECT_EQ(registroDaAmostra(-0.0, std::nullopt), "{\"t\":-0.000}");
  EXPECT_EQ(registroDaAmostra(1.9999999999999998, std::nullopt), "{\"t\":2.000}");
}

TEST(Registro, UmRostoRepeteOsCamposNaLista) {
  const ListaDeRostos rostos(std::vector<Rosto>{rosto(0.25, 0.1, 0.5, 0.6, 0.5f)});
  EXPECT_EQ(registroDaAmostra(0, rostos),
            "{\"t\":0.000,\"x\":0.5000,\"y\":0.6000,\"w\":0.5000,\"h\":0.6000,\"c\":0.500,\"n\":1,"
            "\"rostos\":[{\"x\":0.5000,\"y\":0.6000,\"w\":0.5000,\"h\":0.6000,\"c\":0.500}]}");
}

TEST(Registro, OitoRostosGuardaOsSeisMaioresEmOrdem) {
  std::vector<Rosto> rostos;
  // Widths 0.01..0.08 in a shuffled detection order; confidence tags each one.
  const int ordem[] = {3, 8, 1, 6, 2, 7, 5, 4};
  for (int k : ordem) rostos.push_back(rosto(0, 0, k / 100.0, 0.1, k / 10.0f));
  const std::vector<Rosto> lista = listaDeRostos(rostos);
  ASSERT_EQ(lista.size(), 6u);
  for (size_t k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(lista[k].confianca, (8 - k) / 10.0f);
  const std::string r = registroDaAmostra(0, ListaDeRostos(rostos));
  EXPECT_NE(r.find("\"n\":8,"), std::string::npos);
  EXPECT_EQ(r.find("\"c\":0.100"), std::string::npos);  // the two smallest appear nowhere
  EXPECT_EQ(r.find("\"c\":0.200"), std::string::npos);
}

TEST(Registro, EmpateFicaComAOrdemDeDeteccao) {
  const std::vector<Rosto> tres{rosto(0.1, 0, 0.2, 0.2, 0.1f), rosto(0.2, 0, 0.2, 0.2, 0.2f),
                                rosto(0.3, 0, 0.2, 0.2, 0.3f)};
  EXPECT_EQ(indiceDoPrincipal(tres), 0u);
  const std::vector<Rosto> lista = listaDeRostos(tres);
  EXPECT_FLOAT_EQ(lista[0].confianca, 0.1f);
  EXPECT_FLOAT_EQ(lista[1].confianca, 0.2f);
  EXPECT_FLOAT_EQ(lista[2].confianca, 0.3f);
}

TEST(Registro, ConfiancaNaoEscolheOPrincipal) {
  const std::vector<Rosto> rostos{rosto(0, 0, 0.1, 0.1, 0.99f), rosto(0.5, 0.5, 0.2, 0.2, 0.51f)};
  EXPECT_EQ(indiceDoPrincipal(rostos), 1u);
  const std::string esperado = "{\"t\":0.000,\"x\":0.6000,\"y\":0.4000,\"w\":0.2000,\"h\":0.2000,\"c\":0.510,";
  EXPECT_EQ(comeco(registroDaAmostra(0, ListaDeRostos(rostos)), esperado), esperado);
}

TEST(Registro, CaixasAlemDaBordaSaemComoSao) {
  // Centre x just below zero, centre y at 0.8 from the bottom (0.2 from the top).
  const ListaDeRostos rostos(std::vector<Rosto>{rosto(-0.10002, 0.7, 0.2, 0.2, 0.9995f)});
  const std::string esperado = "{\"t\":0.000,\"x\":-0.0000,\"y\":0.2000,\"w\":0.2000,\"h\":0.2000,\"c\":0.999,";
  EXPECT_EQ(comeco(registroDaAmostra(0, rostos), esperado), esperado);
  const ListaDeRostos fora(std::vector<Rosto>{rosto(0.9, -0.3, 0.4, 0.4, 1.0f)});
  const std::string esperadoFora = "{\"t\":0.000,\"x\":1.1000,\"y\":1.1000,\"w\":0.4000,\"h\":0.4000,\"c\":1.000,";
  EXPECT_EQ(comeco(registroDaAmostra(0, fora), esperadoFora), esperadoFora);
}

TEST(Registro, CaixaNegativaContaPelaForma) {
  // A box with negative extents is the same rectangle as its standardized form.
  const ListaDeRostos rostos(std::vector<Rosto>{rosto(0.6, 0.6, -0.2, -0.4, 0.5f)});
  const std::string esperado = "{\"t\":0.000,\"x\":0.5000,\"y\":0.6000,\"w\":0.2000,\"h\":0.4000,\"c\":0.500,";
  EXPECT_EQ(comeco(registroDaAmostra(0, rostos), esperado), esperado);
}

}  // namespace
}  // namespace rosto
