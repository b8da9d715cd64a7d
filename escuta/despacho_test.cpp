#include "escuta/despacho.h"

#include <gtest/gtest.h>

#include "escuta/plataforma_falsa_test.h"

namespace escuta {
namespace {

using teste::PlataformaFalsa;
using teste::rodar;

const std::string kBannerBytes =
    "MORVELA \xE2\x80\x94 captura nativa do macOS (o caminho do Quelt, sem driver virtual)\n"
    "\n"
    "  --listar                    telas e aplicativos, em JSON\n"
    "  --audio                     som do sistema em PCM float32 no stdout\n"
    "    --taxa 48000              amostras por segundo\n"
    "    --canais 2                1 ou 2\n"
    "    --tela <id>               capturar o som de uma tela espec\xC3\xAD" "fica\n"
    "    --excluir-app <bundle>    n\xC3\xA3o captar o som deste aplicativo\n";

TEST(Despacho, BannerSemModo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"escuta"}, {"escuta", "--AUDIO"}, {"escuta", "--taxa=44100"}, {"escuta", "--listar=1", "-audio"}}) {
    PlataformaFalsa p;
    const auto s = rodar(p, args);
    EXPECT_EQ(s.status, 2);
    EXPECT_EQ(s.erro, kBannerBytes);
    EXPECT_EQ(s.saida, "");
    EXPECT_EQ(p.pedidos, 0);
  }
}

TEST(Despacho, DescricoesNaColuna31) {
  size_t inicio = kBannerBytes.find("  --listar");
  for (int k = 0; k < 6; ++k) {
    const size_t fim = kBannerBytes.find('\n', inicio);
    const std::string linha = kBannerBytes.substr(inicio, fim - inicio);
    EXPECT_NE(linha[30], ' ') << linha;  // 30 characters, then the description
    EXPECT_EQ(linha[29], ' ') << linha;
    inicio = fim + 1;
  }
}

TEST(Despacho, ListarVenceEmQualquerOrdem) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"escuta", "--audio", "--listar"}, {"escuta", "--listar", "--audio"}, {"--listar"}}) {
    PlataformaFalsa p;
    const auto s = rodar(p, args);
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.saida, "{\"telas\":[],\"aplicativos\":[]}");
    EXPECT_FALSE(p.configuracao);
  }
}

TEST(Despacho, TelaComValorAudioAindaCaptura) {
  PlataformaFalsa p;
  p.conteudo.telas = {{1, 10, 10}, {2, 10, 10}};
  const auto s = rodar(p, {"escuta", "--tela", "--audio"});
  ASSERT_TRUE(p.filtro);
  EXPECT_EQ(p.filtro->tela.id, 1u);
  EXPECT_EQ(s.erro, "pronto: 48000 Hz, 2 canal(is), float32 intercalado no stdout\n");
}

}  // namespace
}  // namespace escuta
