#include "escuta/argumentos.h"

#include <gtest/gtest.h>

namespace escuta {
namespace {

TEST(LerInteiro, AceitaSinalEZerosAEsquerda) {
  EXPECT_EQ(lerInteiro("44100"), 44100);
  EXPECT_EQ(lerInteiro("+44100"), 44100);
  EXPECT_EQ(lerInteiro("0044100"), 44100);
  EXPECT_EQ(lerInteiro("-1"), -1);
  EXPECT_EQ(lerInteiro("0"), 0);
  EXPECT_EQ(lerInteiro("-0"), 0);
}

TEST(LerInteiro, LimitesDe64Bits) {
  EXPECT_EQ(lerInteiro("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(lerInteiro("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(lerInteiro("9223372036854775808"), std::nullopt);
  EXPECT_EQ(lerInteiro("-9223372036854775809"), std::nullopt);
  EXPECT_EQ(lerInteiro("99999999999999999999"), std::nullopt);
  EXPECT_EQ(lerInteiro("000000000000000000000009223372036854775807"), INT64_MAX);
}

TEST(LerInteiro, RecusaOQueNaoESoDigitos) {
  for (const char* t : {"", "+", "-", " 44100", "44100 ", "44 100", "44.1k", "4.0", "+-1", "--1", "0x10",
                        "1_000", "١٢", "４４"})
    EXPECT_EQ(lerInteiro(t), std::nullopt) << t;
}

TEST(Valor, PrimeiraOcorrenciaEAusenteNoFim) {
  const std::vector<std::string> args{"escuta", "--audio", "--taxa", "44100", "--taxa", "22050"};
  EXPECT_EQ(valor(args, "--taxa"), "44100");
  EXPECT_EQ(valor({"escuta", "--audio", "--taxa"}, "--taxa"), std::nullopt);
  EXPECT_EQ(valor({"escuta", "--taxa", "--taxa", "1"}, "--taxa"), "--taxa");
  // The first occurrence is last: later ones are not looked at.
  EXPECT_EQ(valor({"escuta", "--tela"}, "--tela"), std::nullopt);
  EXPECT_EQ(valor({"escuta", "--audio"}, "--tela"), std::nullopt);
}

TEST(OpcoesDeCaptura, PadroesEValores) {
  const OpcoesDeCaptura padrao = lerOpcoesDeCaptura({"escuta", "--audio"});
  EXPECT_EQ(padrao.taxa, 48000);
  EXPECT_EQ(padrao.canais, 2);
  EXPECT_EQ(padrao.telaEscolhida, std::nullopt);
  EXPECT_EQ(padrao.excluirBundle, std::nullopt);

  const OpcoesDeCaptura o = lerOpcoesDeCaptura(
      {"escuta", "--audio", "--canais", "5", "--taxa", "-1", "--tela", "7", "--excluir-app", ""});
  EXPECT_EQ(o.canais, 5);
  EXPECT_EQ(o.taxa, -1);
  EXPECT_EQ(o.telaEscolhida, 7);
  EXPECT_EQ(o.excluirBundle, "");  // empty, not absent

  EXPECT_EQ(lerOpcoesDeCaptura({"escuta", "--tela", "--audio"}).telaEscolhida, std::nullopt);
  EXPECT_EQ(lerOpcoesDeCaptura({"escuta", "--audio", "--tela", "abc"}).telaEscolhida, std::nullopt);
  EXPECT_EQ(lerOpcoesDeCaptura({"escuta", "--audio", "--taxa=44100"}).taxa, 48000);
  EXPECT_EQ(lerOpcoesDeCaptura({"escuta", "--audio", "--taxa", ""}).taxa, 48000);
  EXPECT_EQ(lerOpcoesDeCaptura({"escuta", "--audio", "--taxa", "44.1k"}).taxa, 48000);
}

}  // namespace
}  // namespace escuta
