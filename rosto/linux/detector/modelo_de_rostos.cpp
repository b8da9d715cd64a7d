#include "rosto/linux/detector/modelo_de_rostos.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "rosto/linux/detector/entrada.h"

namespace rosto::detector {

namespace {

// The models are about a megabyte; anything far larger is not one of them.
constexpr long kMaiorArquivo = 64L << 20;

struct Liberar {
  void operator()(void* p) const { std::free(p); }
};

struct Arquivo {
  void operator()(FILE* f) const { std::fclose(f); }
};

// The file whole, in memory aligned as the format aligns its buffers.
Resultado<std::shared_ptr<uint8_t>> lerArquivo(const std::string& caminho, size_t& tamanho) {
  std::unique_ptr<FILE, Arquivo> f(std::fopen(caminho.c_str(), "rb"));
  if (!f) return Erro{"modelo ausente ou ilegível: " + caminho};
  if (std::fseek(f.get(), 0, SEEK_END) != 0) return Erro{"modelo ilegível: " + caminho};
  const long bytes = std::ftell(f.get());
  if (bytes <= 0 || bytes > kMaiorArquivo) return Erro{"modelo de tamanho impossível: " + caminho};
  std::rewind(f.get());
  std::shared_ptr<uint8_t> dados(static_cast<uint8_t*>(std::aligned_alloc(16, (bytes + 15) / 16 * 16)), Liberar{});
  if (!dados || std::fread(dados.get(), 1, bytes, f.get()) != static_cast<size_t>(bytes))
    return Erro{"modelo ilegível: " + caminho};
  tamanho = static_cast<size_t>(bytes);
  return dados;
}

bool formaE(const Grafo& g, int t, std::vector<size_t> forma) { return g.tensores[t].forma == forma; }

}  // namespace

const DescricaoDoModelo& alcanceTotal() {
  static const DescricaoDoModelo d{"face_detection_full_range.tflite", {192, {4}, false}};
  return d;
}

const DescricaoDoModelo& alcanceCurto() {
  static const DescricaoDoModelo d{"face_detection_short_range.tflite", {128, {8, 16, 16, 16}, true}};
  return d;
}

Resultado<std::shared_ptr<const Grafo>> conferirModelo(Grafo grafo, const DescricaoDoModelo& descricao) {
  const Grafo& g = grafo;
  const size_t lado = descricao.ancoras.lado, ancoras = ancorasSsd(descricao.ancoras).size();
  const bool entradaCerta = g.entradas.size() == 1 && formaE(g, g.entradas[0], {1, lado, lado, 3});
  const auto saidasSao = [&](int caixas, int pontuacoes) {
    return formaE(g, caixas, {1, ancoras, 16}) && formaE(g, pontuacoes, {1, ancoras, 1});
  };
  const bool saidasCertas = g.saidas.size() == 2 && (saidasSao(g.saidas[0], g.saidas[1]) || saidasSao(g.saidas[1], g.saidas[0]));
  if (!entradaCerta || !saidasCertas) return Erro{std::string("entrada ou saídas não são as de ") + descricao.arquivo};
  return std::shared_ptr<const Grafo>(std::make_shared<Grafo>(std::move(grafo)));
}

Resultado<std::shared_ptr<const Grafo>> carregarModelo(const std::string& caminho, const DescricaoDoModelo& descricao) {
  size_t tamanho = 0;
  Resultado<std::shared_ptr<uint8_t>> bytes = lerArquivo(caminho, tamanho);
  if (!bytes.ok()) return bytes.erro();
  Resultado<Grafo> lido = lerGrafo(bytes.valor().get(), tamanho);
  if (!lido.ok()) return Erro{caminho + ": " + lido.erro().descricao};
  Resultado<std::shared_ptr<const Grafo>> modelo = conferirModelo(std::move(lido.valor()), descricao);
  if (!modelo.ok()) return Erro{caminho + ": " + modelo.erro().descricao};
  return modelo;
}

Resultado<std::unique_ptr<ModeloDeRostos>> ModeloDeRostos::criar(std::shared_ptr<const Grafo> grafo,
                                                                 const DescricaoDoModelo& descricao) {
  Resultado<std::unique_ptr<RedeXnnpack>> rede = RedeXnnpack::criar(std::move(grafo));
  if (!rede.ok()) return rede.erro();
  return std::unique_ptr<ModeloDeRostos>(new ModeloDeRostos(std::move(rede.valor()), descricao));
}

ModeloDeRostos::ModeloDeRostos(std::unique_ptr<RedeXnnpack> rede, const DescricaoDoModelo& descricao)
    : rede_(std::move(rede)), lado_(descricao.ancoras.lado), ancoras_(ancorasSsd(descricao.ancoras)) {
  const Grafo& g = rede_->grafo();
  if (g.tensores[g.saidas[0]].forma.back() == 1) std::swap(saidaDasCaixas_, saidaDasPontuacoes_);
}

bool ModeloDeRostos::detectar(const Imagem& imagem, const Recorte& parte, float limiar, std::vector<Rosto>& rostos) {
  const Recorte recorte = cortarNaImagem(parte, imagem.largura, imagem.altura);
  const Moldura moldura = enquadrar(imagem, recorte, lado_, rede_->entrada(), rascunho_);
  if (!rede_->executar()) return false;
  if (recorte.largura < 1 || recorte.altura < 1) return true;
  candidatos_.clear();
  decodificar(rede_->saida(saidaDasPontuacoes_), rede_->saida(saidaDasCaixas_), ancoras_, lado_, limiar, candidatos_);
  for (const Candidato& c : suprimir(candidatos_))
    rostos.push_back({doRecorte(noQuadro(c, moldura), recorte, imagem.largura, imagem.altura), c.pontuacao});
  return true;
}

}  // namespace rosto::detector
