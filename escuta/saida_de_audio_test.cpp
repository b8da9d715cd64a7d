#include "escuta/saida_de_audio.h"

#include <gtest/gtest.h>

#include <cstring>

#include "escuta/plataforma_falsa_test.h"

namespace escuta {
namespace {

using teste::AmostraFalsa;
using teste::Encerrado;
using teste::PipeQuebrado;
using teste::ProcessoFalso;

BufferDeAudio buffer(const std::vector<float>& v, uint32_t sobra = 0) {
  return {v.data(), static_cast<uint32_t>(v.size() * 4 + sobra)};
}

std::string bytes(const std::vector<float>& v) { return std::string(reinterpret_cast<const char*>(v.data()), v.size() * 4); }

class Escritor : public ::testing::Test {
 protected:
  void entregar(const AmostraDeAudio& a, TipoDeSaida tipo = TipoDeSaida::audio) { saida.fluxoEntregou(a, tipo); }
  ProcessoFalso processo;
  SaidaDeAudio saida{processo};
};

TEST_F(Escritor, EstereoPlanarViraIntercalado) {
  const std::vector<float> l{1, 2, 3}, r{-1, -2, -3};
  entregar(AmostraFalsa({buffer(l), buffer(r)}));
  ASSERT_EQ(processo.escritasDeSaida.size(), 1u);
  EXPECT_EQ(processo.escritasDeSaida[0], bytes({1, -1, 2, -2, 3, -3}));
}

TEST_F(Escritor, UmBufferIntercaladoPassaComoVeio) {
  const std::vector<float> v{0.5f, -0.5f, 0.25f, -0.25f};
  entregar(AmostraFalsa({buffer(v, 3)}));  // 1 to 3 trailing bytes are not used
  ASSERT_EQ(processo.escritasDeSaida.size(), 1u);
  EXPECT_EQ(processo.escritasDeSaida[0], bytes(v));
}

TEST_F(Escritor, PrimeiroBufferCurtoDaEscritaVazia) {
  const std::vector<float> v{1};
  entregar(AmostraFalsa({{v.data(), 3}, buffer(v)}));
  entregar(AmostraFalsa({{v.data(), 0}}));  // found by fuzzing: one empty buffer
  ASSERT_EQ(processo.escritasDeSaida.size(), 2u);
  EXPECT_EQ(processo.escritasDeSaida[0], "");
  EXPECT_EQ(processo.escritasDeSaida[1], "");
}

TEST_F(Escritor, BuffersDeTamanhosDiferentes) {
  const std::vector<float> a{1, 2, 3}, longo{10, 20, 30, 40, 50}, curto{-7};
  entregar(AmostraFalsa({buffer(a), buffer(longo)}));  // only the first F samples of a longer one
  entregar(AmostraFalsa({buffer(a), buffer(curto, 2)}));  // never past a shorter one's end: zeros
  ASSERT_EQ(processo.escritasDeSaida.size(), 2u);
  EXPECT_EQ(processo.escritasDeSaida[0], bytes({1, 10, 2, 20, 3, 30}));
  EXPECT_EQ(processo.escritasDeSaida[1], bytes({1, -7, 2, 0, 3, 0}));
}

TEST_F(Escritor, PulaOQueNaoEAudioUtil) {
  const std::vector<float> v{1, 2};
  entregar(AmostraFalsa({buffer(v), {nullptr, 8}}));
  entregar(AmostraFalsa({{nullptr, 8}, buffer(v)}));
  entregar(AmostraFalsa({}));
  entregar(AmostraFalsa({buffer(v)}), TipoDeSaida::tela);
  entregar(AmostraFalsa({buffer(v)}), static_cast<TipoDeSaida>(7));
  AmostraFalsa naoPronta({buffer(v)});
  naoPronta.pronta = false;
  entregar(naoPronta);
  AmostraFalsa semLista({buffer(v)});
  semLista.temLista = false;
  entregar(semLista);
  EXPECT_TRUE(processo.escritasDeSaida.empty());
  entregar(AmostraFalsa({buffer(v)}));  // later samples are handled as usual
  EXPECT_EQ(processo.escritasDeSaida.size(), 1u);
}

TEST_F(Escritor, DadosDesalinhados) {
  std::vector<unsigned char> cru(4 * 3 + 1);
  const float f[3] = {1.5f, -2.5f, 3.5f};
  std::memcpy(cru.data() + 1, f, sizeof f);
  entregar(AmostraFalsa({{cru.data() + 1, 12}}));
  EXPECT_EQ(processo.escritasDeSaida.at(0), bytes({1.5f, -2.5f, 3.5f}));
}

TEST_F(Escritor, ParadaDoFluxo) {
  try {
    saida.fluxoParou(Erro{"o servidor de som saiu"});
    FAIL();
  } catch (const Encerrado& e) {
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_EQ(processo.erro, "captura interrompida: o servidor de som saiu\n");
}

TEST_F(Escritor, FalhasDeEscrita) {
  const std::vector<float> v{1, 2};
  processo.escrita = [](std::string_view) { return Escrita{Escrita::leitorSaiu, ""}; };
  EXPECT_THROW(entregar(AmostraFalsa({buffer(v)})), PipeQuebrado);
  EXPECT_EQ(processo.erro, "");
  processo.escrita = [](std::string_view) { return Escrita{Escrita::falhou, "No space left on device"}; };
  try {
    entregar(AmostraFalsa({buffer(v)}));
    FAIL();
  } catch (const Encerrado& e) {
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_EQ(processo.erro, "não consegui escrever o áudio no stdout: No space left on device\n");
}

}  // namespace
}  // namespace escuta
