// The model loader and the engine: what a real file computes on XNNPACK
// against a plain implementation of the same operations, and what a file
// that is not the expected model gets.
#include "rosto/linux/detector/grafo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "rosto/linux/detector/meio_float.h"
#include "rosto/linux/detector/modelo_sintetico_test.h"
#include "rosto/linux/detector/rede_xnnpack.h"
#include "rosto/linux/detector/referencia_test.h"
#include "rosto/linux/detector/tflite.h"

namespace rosto::detector {
namespace {

Resultado<Grafo> ler(const std::vector<uint8_t>& bytes) { return lerGrafoDeCopia(bytes.data(), bytes.size()); }

std::vector<uint8_t> arquivo(const std::string& nome) {
  std::ifstream f(std::string(ROSTO_MODELOS) + "/" + nome, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

TEST(RedeXnnpack, CalculaOQueAReferenciaCalculaNosDoisModelos) {
  for (const char* nome : {"face_detection_full_range.tflite", "face_detection_short_range.tflite"}) {
    SCOPED_TRACE(nome);
    Resultado<Grafo> lido = ler(arquivo(nome));
    ASSERT_TRUE(lido.ok()) << lido.erro().descricao;
    auto grafo = std::make_shared<const Grafo>(std::move(lido.valor()));
    auto rede = RedeXnnpack::criar(grafo);
    ASSERT_TRUE(rede.ok()) << rede.erro().descricao;
    std::vector<float> entrada(grafo->tensores[grafo->entradas[0]].elementos());
    for (size_t k = 0; k < entrada.size(); ++k) entrada[k] = 0.9f * std::sin(0.37f * static_cast<float>(k));
    std::copy(entrada.begin(), entrada.end(), rede.valor()->entrada());
    ASSERT_TRUE(rede.valor()->executar());
    const auto referencia = executarReferencia(*grafo, entrada);
    for (size_t s = 0; s < grafo->saidas.size(); ++s) {
      const std::vector<float>& esperado = referencia[grafo->saidas[s]];
      double pior = 0, maior = 0;
      for (size_t k = 0; k < esperado.size(); ++k) {
        pior = std::max(pior, static_cast<double>(std::fabs(esperado[k] - rede.valor()->saida(s)[k])));
        maior = std::max(maior, static_cast<double>(std::fabs(esperado[k])));
      }
      EXPECT_GT(maior, 1.0);  // outputs of some size, so the comparison means something
      EXPECT_LT(pior, 2e-4 * maior) << "saída " << s;
    }
  }
}

TEST(Grafo, ConvolucaoSinteticaIgualAReferencia) {
  Resultado<Grafo> lido = ler(teste::construir(teste::convolucaoSimples()));
  ASSERT_TRUE(lido.ok()) << lido.erro().descricao;
  auto grafo = std::make_shared<const Grafo>(std::move(lido.valor()));
  auto rede = RedeXnnpack::criar(grafo);
  ASSERT_TRUE(rede.ok());
  std::vector<float> entrada(32);
  for (size_t k = 0; k < entrada.size(); ++k) entrada[k] = static_cast<float>(k) / 8 - 2;
  std::copy(entrada.begin(), entrada.end(), rede.valor()->entrada());
  ASSERT_TRUE(rede.valor()->executar());
  // The corner output by hand: filter 0 over the 2×2 of the input that SAME padding leaves.
  const auto referencia = executarReferencia(*grafo, entrada);
  for (size_t k = 0; k < 32; ++k) EXPECT_NEAR(rede.valor()->saida(0)[k], referencia[3][k], 1e-5) << k;
  const std::vector<float>& f = grafo->tensores[1].constante;
  double canto = 0.5;
  for (int i = 1; i < 3; ++i)
    for (int j = 1; j < 3; ++j)
      for (int c = 0; c < 2; ++c) canto += f[(i * 3 + j) * 2 + c] * entrada[((i - 1) * 4 + (j - 1)) * 2 + c];
  EXPECT_NEAR(referencia[3][0], canto, 1e-5);
}

// Each way a file can fail to be the model, and the reason given for it.
TEST(Grafo, ModelosRecusados) {
  using teste::ModeloSintetico;
  struct Caso {
    const char* nome;
    std::function<void(ModeloSintetico&)> estragar;
    const char* motivo;
  };
  const Caso casos[] = {
      {"outro formato", [](ModeloSintetico& m) { m.identificador = "XYZ1"; }, "não é um modelo TFLite íntegro"},
      {"versão 2", [](ModeloSintetico& m) { m.versao = 2; }, "versão do esquema 2, não 3"},
      {"operador desconhecido", [](ModeloSintetico& m) { m.operadores[0].codigo = 9; },
       "operação 0 (9): operador que o detector não conhece"},
      {"saída de outra forma", [](ModeloSintetico& m) { m.tensores[3].forma = {1, 2, 2, 2}; },
       "operação 0 (CONV_2D): forma de saída [1,2,2,2] onde as entradas dão [1,4,4,2]"},
      {"filtro sem pesos", [](ModeloSintetico& m) { m.tensores[1].dados.clear(); },
       "operação 0 (CONV_2D): pesos ausentes ou de forma inesperada"},
      {"buffer curto", [](ModeloSintetico& m) { m.tensores[1].dados.resize(8); },
       "tensor 1: o buffer não tem o tamanho da forma"},
      {"tensor esparso", [](ModeloSintetico& m) { m.tensores[1].esparso = true; }, "tensor 1 é esparso"},
      {"dimensão enorme", [](ModeloSintetico& m) { m.tensores[0].forma = {1, 1 << 20, 4, 2}; },
       "tensor 0 tem uma dimensão inválida"},
      {"índice fora", [](ModeloSintetico& m) { m.operadores[0].entradas[0] = 77; }, "operação 0 (CONV_2D): entrada"},
      {"passo zero", [](ModeloSintetico& m) { m.operadores[0].opcoes[1] = 0; },
       "operação 0 (CONV_2D): passo, janela ou dilatação inválidos"},
      {"sem opções", [](ModeloSintetico& m) { m.operadores[0].tipoDeOpcoes = 0; },
       "operação 0 (CONV_2D): opções ausentes"},
      {"saída que ninguém produz", [](ModeloSintetico& m) { m.saidas = {2}; }, "saída do modelo que nenhuma operação produz"},
  };
  for (const Caso& c : casos) {
    ModeloSintetico m = teste::convolucaoSimples();
    c.estragar(m);
    const Resultado<Grafo> lido = ler(teste::construir(m));
    ASSERT_FALSE(lido.ok()) << c.nome;
    EXPECT_EQ(lido.erro().descricao.rfind(c.motivo, 0), 0u) << c.nome << ": " << lido.erro().descricao;
  }
  const std::vector<uint8_t> real = arquivo("face_detection_full_range.tflite");
  for (size_t corte : {size_t{0}, size_t{7}, size_t{4096}, real.size() / 2, real.size() - 1}) {
    const Resultado<Grafo> lido = ler(std::vector<uint8_t>(real.begin(), real.begin() + corte));
    EXPECT_FALSE(lido.ok()) << corte << " bytes";
  }
}

// A graph the loader accepts but the engine cannot run is refused when the
// runtime is made: a concatenation feeding another operation.
TEST(RedeXnnpack, RecusaOQueNaoSabeExecutar) {
  teste::ModeloSintetico m = teste::convolucaoSimples();
  m.tensores.push_back({{1, 4, 4, 4}, tflite::kFloat32, {}});
  m.tensores.push_back({{1, 4, 4, 4}, tflite::kFloat32, {}});
  m.operadores.push_back({tflite::kConcatenation, {3, 3}, {4}, tflite::kOpcoesConcat, {3, 0}, {4, 1}});
  m.operadores.push_back({tflite::kRelu, {4}, {5}, 0, {}, {}});
  m.saidas = {5};
  Resultado<Grafo> lido = ler(teste::construir(m));
  ASSERT_TRUE(lido.ok()) << lido.erro().descricao;
  auto rede = RedeXnnpack::criar(std::make_shared<const Grafo>(std::move(lido.valor())));
  ASSERT_FALSE(rede.ok());
  EXPECT_EQ(rede.erro().descricao, "o XNNPACK recusou operação 1");
}

TEST(Grafo, MeioFloatExato) {
  const std::pair<uint16_t, float> casos[] = {
      {0x3C00, 1.0f}, {0xC000, -2.0f}, {0x7BFF, 65504.0f}, {0x0001, std::ldexp(1.0f, -24)},
      {0x03FF, std::ldexp(1023.0f, -24)}, {0x3555, 0.333251953125f}, {0x7C00, INFINITY}, {0xFC00, -INFINITY}};
  for (const auto& [meio, esperado] : casos) EXPECT_EQ(floatDeMeio(meio), esperado) << std::hex << meio;
  EXPECT_TRUE(std::signbit(floatDeMeio(0x8000)) && floatDeMeio(0x8000) == 0.0f);
  EXPECT_TRUE(std::isnan(floatDeMeio(0x7E00)));
}

}  // namespace
}  // namespace rosto::detector
