#include "escuta/listagem.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "escuta/plataforma_falsa_test.h"

namespace escuta {
namespace {

using teste::PlataformaFalsa;
using teste::rodar;

TEST(Listagem, ListasVazias) {
  PlataformaFalsa p;
  const auto s = rodar(p, {"escuta", "--listar"});
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.erro, "");
  EXPECT_EQ(s.saida, "{\"telas\":[],\"aplicativos\":[]}");
  EXPECT_EQ(s.escritasDeSaida.size(), 1u);
  EXPECT_FALSE(p.excluirAreaDeTrabalho);
  EXPECT_TRUE(p.soNaTela);
}

TEST(Listagem, DocumentoCompactoComTextosEscapados) {
  ConteudoCompartilhavel c;
  c.telas = {{4294967295u, 1920, 1080}};
  c.aplicativos = {{"org.exemplo.Player", "AC/DC — Música", 4242}, {"", "", 0}};
  EXPECT_EQ(documentoDaListagem(c),
            "{\"telas\":[{\"id\":4294967295,\"largura\":1920,\"altura\":1080}],"
            "\"aplicativos\":[{\"id\":\"org.exemplo.Player\",\"nome\":\"AC\\/DC — Música\",\"pid\":4242},"
            "{\"id\":\"\",\"nome\":\"\",\"pid\":0}]}");
}

TEST(Listagem, OrdemDaPlataformaSemFiltroNemDuplicatasRemovidas) {
  PlataformaFalsa p;
  for (uint32_t k = 0; k < 3; ++k) p.conteudo.telas.push_back({3000000000u + k, 100 + k, 50});
  for (int k = 0; k < 40; ++k)
    p.conteudo.aplicativos.push_back({"app." + std::to_string(k % 7), "Nome " + std::to_string(k), 1000 + k});
  const auto s = rodar(p, {"escuta", "--audio", "--listar"});
  ASSERT_EQ(s.status, 0);
  const nlohmann::json doc = nlohmann::json::parse(s.saida);
  ASSERT_EQ(doc.size(), 2u);
  ASSERT_EQ(doc["telas"].size(), 3u);
  for (uint32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(doc["telas"][k]["id"].get<uint64_t>(), 3000000000u + k);
    EXPECT_EQ(doc["telas"][k]["largura"].get<int64_t>(), 100 + k);
  }
  ASSERT_EQ(doc["aplicativos"].size(), 40u);
  for (int k = 0; k < 40; ++k) {
    EXPECT_EQ(doc["aplicativos"][k]["id"], "app." + std::to_string(k % 7));
    EXPECT_EQ(doc["aplicativos"][k]["nome"], "Nome " + std::to_string(k));
    EXPECT_EQ(doc["aplicativos"][k]["pid"], 1000 + k);
  }
}

TEST(Listagem, SemPermissao) {
  PlataformaFalsa p;
  p.erroDoConteudo = Erro{"daemon fora do ar"};
  const auto s = rodar(p, {"escuta", "--listar"});
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.saida, "");
  const std::string linha =
      "{\"erro\":\"sem permissão de Gravação de Tela — abra Ajustes do Sistema → Privacidade e Segurança → "
      "Gravação de Tela e autorize o Morvela\"}";
  EXPECT_EQ(linha.size(), 148u);
  EXPECT_EQ(s.erro, linha + "\n");
}

TEST(Listagem, FalhasDeEscrita) {
  // A reader gone ends the process as SIGPIPE does; any other failure is reported, never status 0.
  PlataformaFalsa p;
  teste::ProcessoFalso processo;
  processo.escrita = [](std::string_view) { return Escrita{Escrita::leitorSaiu, ""}; };
  auto s = rodar(p, {"escuta", "--listar"}, processo);
  EXPECT_TRUE(s.pipeQuebrado);
  EXPECT_EQ(s.erro, "");
  processo.escrita = [](std::string_view) { return Escrita{Escrita::falhou, "No space left on device"}; };
  s = rodar(p, {"escuta", "--listar"}, processo);
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.saida, "");
  EXPECT_EQ(s.erro, "não consegui escrever a listagem: No space left on device\n");
}

}  // namespace
}  // namespace escuta
