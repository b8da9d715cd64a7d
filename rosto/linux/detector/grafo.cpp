#include "rosto/linux/detector/grafo.h"

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>

#include "rosto/linux/detector/meio_float.h"
#include "rosto/linux/detector/tflite.h"

namespace rosto::detector {

namespace {

// Far above what a face model needs, far below what would exhaust memory.
constexpr size_t kMaiorDimensao = 1 << 16;
constexpr size_t kMaisElementos = size_t{1} << 24;
constexpr size_t kMaiorPosto = 4;

std::string textoDaForma(const std::vector<size_t>& forma) {
  std::string texto = "[";
  for (size_t k = 0; k < forma.size(); ++k) texto += (k ? "," : "") + std::to_string(forma[k]);
  return texto + "]";
}

const char* nomeDoCodigo(int32_t codigo) {
  switch (codigo) {
    case tflite::kAdd: return "ADD";
    case tflite::kConcatenation: return "CONCATENATION";
    case tflite::kConv2d: return "CONV_2D";
    case tflite::kDepthwiseConv2d: return "DEPTHWISE_CONV_2D";
    case tflite::kDequantize: return "DEQUANTIZE";
    case tflite::kMaxPool2d: return "MAX_POOL_2D";
    case tflite::kRelu: return "RELU";
    case tflite::kReshape: return "RESHAPE";
    case tflite::kResizeBilinear: return "RESIZE_BILINEAR";
    case tflite::kPad: return "PAD";
    case tflite::kPrelu: return "PRELU";
    default: return nullptr;
  }
}

// Reads subgraph 0 of a verified model into a Grafo, checking as it goes.
class Leitor {
 public:
  Leitor(const tflite::Model& modelo, const tflite::SubGraph& sub) : modelo_(modelo), sub_(sub) {}

  Resultado<Grafo> ler() {
    if (!lerTensores() || !lerEntradas()) return Erro{erro_};
    const auto* ops = sub_.operators();
    for (size_t k = 0; ops && k < ops->size(); ++k)
      if (!lerOperador(k, *ops->Get(static_cast<flatbuffers::uoffset_t>(k)))) return Erro{erro_};
    if (!lerSaidas()) return Erro{erro_};
    return std::move(grafo_);
  }

 private:
  bool falha(std::string texto) {
    erro_ = std::move(texto);
    return false;
  }

  bool lerTensores() {
    const auto* tensores = sub_.tensors();
    if (!tensores || tensores->size() == 0) return falha("o modelo não tem tensores");
    grafo_.tensores.resize(tensores->size());
    inteiros_.resize(tensores->size());
    escrito_.assign(tensores->size(), false);
    for (flatbuffers::uoffset_t k = 0; k < tensores->size(); ++k)
      if (!lerTensor(k, *tensores->Get(k))) return false;
    return true;
  }

  bool lerTensor(size_t k, const tflite::Tensor& t) {
    const std::string qual = "tensor " + std::to_string(k);
    if (t.esparso()) return falha(qual + " é esparso");
    Tensor& tensor = grafo_.tensores[k];
    size_t elementos = 1;
    if (t.shape() && t.shape()->size() > kMaiorPosto) return falha(qual + " tem mais de 4 dimensões");
    for (size_t k2 = 0; t.shape() && k2 < t.shape()->size(); ++k2) {
      const int32_t d = t.shape()->Get(static_cast<flatbuffers::uoffset_t>(k2));
      if (d < 1 || static_cast<size_t>(d) > kMaiorDimensao) return falha(qual + " tem uma dimensão inválida");
      tensor.forma.push_back(static_cast<size_t>(d));
      elementos *= static_cast<size_t>(d);
      if (elementos > kMaisElementos) return falha(qual + " é grande demais");
    }
    tipos_.push_back(t.type());
    if (t.type() != tflite::kFloat32 && t.type() != tflite::kFloat16 && t.type() != tflite::kInt32)
      return falha(qual + " tem um tipo que o detector não lê (" + std::to_string(t.type()) + ")");
    const auto* buffers = modelo_.buffers();
    if (!buffers || t.buffer() >= buffers->size()) return falha(qual + " aponta para um buffer inexistente");
    const auto* dados = buffers->Get(t.buffer())->data();
    if (!dados || dados->size() == 0) return true;  // computed, not constant
    const size_t bytes = t.type() == tflite::kFloat16 ? 2 : 4;
    if (dados->size() != elementos * bytes) return falha(qual + ": o buffer não tem o tamanho da forma");
    lerConstante(k, t.type(), dados->data(), elementos);
    escrito_[k] = true;
    return true;
  }

  void lerConstante(size_t k, int8_t tipo, const uint8_t* dados, size_t elementos) {
    if (tipo == tflite::kInt32) {
      inteiros_[k].resize(elementos);
      std::memcpy(inteiros_[k].data(), dados, elementos * 4);
      return;
    }
    std::vector<float>& valores = tipo == tflite::kFloat16 ? meios_[k] : grafo_.tensores[k].constante;
    valores.resize(elementos);
    for (size_t e = 0; e < elementos; ++e) {
      if (tipo == tflite::kFloat16) {
        uint16_t meio;
        std::memcpy(&meio, dados + 2 * e, 2);
        valores[e] = floatDeMeio(meio);
      } else {
        std::memcpy(&valores[e], dados + 4 * e, 4);
      }
    }
  }

  bool lerEntradas() {
    if (!sub_.inputs() || sub_.inputs()->size() == 0) return falha("o modelo não tem entrada");
    for (int32_t t : *sub_.inputs()) {
      if (!ehTensor(t) || tipos_[t] != tflite::kFloat32 || escrito_[t]) return falha("entrada inválida no modelo");
      escrito_[t] = true;
      grafo_.entradas.push_back(t);
    }
    return true;
  }

  bool lerSaidas() {
    if (!sub_.outputs() || sub_.outputs()->size() == 0) return falha("o modelo não tem saída");
    for (int32_t t : *sub_.outputs()) {
      if (!ehTensor(t) || !produzido(t)) return falha("saída do modelo que nenhuma operação produz");
      grafo_.saidas.push_back(t);
    }
    return true;
  }

  bool ehTensor(int32_t t) const { return t >= 0 && static_cast<size_t>(t) < grafo_.tensores.size(); }
  bool produzido(int32_t t) const {
    return ehTensor(t) && escrito_[t] && !grafo_.tensores[t].ehConstante() && inteiros_[t].empty() &&
           tipos_[t] == tflite::kFloat32;
  }
  const std::vector<size_t>& forma(int32_t t) const { return grafo_.tensores[t].forma; }

  bool lerOperador(size_t indice, const tflite::Operator& op) {
    const auto* codigos = modelo_.operatorCodes();
    if (!codigos || op.opcodeIndex() >= codigos->size()) return falha("operação sem código válido");
    const int32_t codigo = codigos->Get(op.opcodeIndex())->codigo();
    const char* nome = nomeDoCodigo(codigo);
    prefixo_ = "operação " + std::to_string(indice) + " (" + (nome ? nome : std::to_string(codigo)) + "): ";
    if (!nome) return falha(prefixo_ + "operador que o detector não conhece");
    entradas_.clear();
    for (size_t k = 0; op.inputs() && k < op.inputs()->size(); ++k)
      entradas_.push_back(op.inputs()->Get(static_cast<flatbuffers::uoffset_t>(k)));
    if (!op.outputs() || op.outputs()->size() != 1) return falha(prefixo_ + "espera uma saída");
    saida_ = op.outputs()->Get(0);
    if (!ehTensor(saida_) || escrito_[saida_] || tipos_[saida_] != tflite::kFloat32)
      return falha(prefixo_ + "saída inválida");
    opcoes_ = op.options();
    tipoDeOpcoes_ = op.optionsType();
    if (!lerOperacao(codigo)) return false;
    escrito_[saida_] = true;
    return true;
  }

  bool lerOperacao(int32_t codigo) {
    switch (codigo) {
      case tflite::kDequantize: return lerDesquantizacao();
      case tflite::kConv2d: return lerConvolucao(false);
      case tflite::kDepthwiseConv2d: return lerConvolucao(true);
      case tflite::kMaxPool2d: return lerMaximoLocal();
      case tflite::kAdd: return lerSoma();
      case tflite::kRelu: return lerRelu();
      case tflite::kPrelu: return lerPrelu();
      case tflite::kPad: return lerPreenchimento();
      case tflite::kReshape: return lerReformatacao();
      case tflite::kResizeBilinear: return lerRedimensionamento();
      case tflite::kConcatenation: return lerConcatenacao();
      default: return falha(prefixo_ + "operador que o detector não conhece");
    }
  }

  // fp16 constants become fp32 here, once: the network itself runs in fp32.
  bool lerDesquantizacao() {
    if (entradas_.size() != 1 || !ehTensor(entradas_[0]) || !meios_.count(entradas_[0]))
      return falha(prefixo_ + "só converte constantes fp16");
    if (forma(entradas_[0]) != forma(saida_)) return falha(prefixo_ + "muda a forma");
    grafo_.tensores[saida_].constante = meios_[entradas_[0]];
    return true;
  }

  // An activation tensor this operation may read: written before, not a constant.
  bool ativacao(int32_t t, size_t posto) {
    if (!produzido(t) || forma(t).size() != posto) return falha(prefixo_ + "entrada inválida");
    return true;
  }
  bool constante(int32_t t, const std::vector<size_t>& esperada) {
    if (!ehTensor(t) || !grafo_.tensores[t].ehConstante() || forma(t) != esperada)
      return falha(prefixo_ + "pesos ausentes ou de forma inesperada");
    return true;
  }
  bool opcoesDo(uint8_t tipo) {
    if (!opcoes_ || tipoDeOpcoes_ != tipo) return falha(prefixo_ + "opções ausentes");
    return true;
  }
  bool saidaCom(const std::vector<size_t>& esperada) {
    if (forma(saida_) != esperada)
      return falha(prefixo_ + "forma de saída " + textoDaForma(forma(saida_)) + " onde as entradas dão " +
                   textoDaForma(esperada));
    return true;
  }
  bool ativacaoFundida(int8_t ativacao, No& no) {
    switch (ativacao) {
      case tflite::kNenhuma: return true;
      case tflite::kAtivRelu: no.minimo = 0; return true;
      case tflite::kAtivReluMenos1a1: no.minimo = -1; no.maximo = 1; return true;
      case tflite::kAtivRelu6: no.minimo = 0; no.maximo = 6; return true;
      default: return falha(prefixo_ + "ativação fundida desconhecida");
    }
  }
  // The output side of a window: SAME keeps ceil(n / stride), VALID drops what does not fit.
  bool ladoDaJanela(size_t entrada, int janela, int passo, int dilatacao, bool mesmo, size_t& lado) {
    if (passo < 1 || dilatacao < 1 || janela < 1 || passo > 64 || dilatacao > 64 || janela > 64)
      return falha(prefixo_ + "passo, janela ou dilatação inválidos");
    const size_t efetiva = static_cast<size_t>(janela - 1) * dilatacao + 1;
    if (mesmo) {
      lado = (entrada + passo - 1) / passo;
      return true;
    }
    if (entrada < efetiva) return falha(prefixo_ + "janela maior que a entrada");
    lado = (entrada - efetiva) / passo + 1;
    return true;
  }
  bool janela(No& no, size_t h, size_t w, size_t& oh, size_t& ow) {
    return ladoDaJanela(h, no.filtroH, no.passoH, no.dilatacaoH, no.mesmo, oh) &&
           ladoDaJanela(w, no.filtroW, no.passoW, no.dilatacaoW, no.mesmo, ow);
  }

  // Padding and strides: the first three fields of every windowed operation's options.
  void lerPassos(No& no) const {
    no.mesmo = opcoes_->padding() == tflite::kSame;
    no.passoW = opcoes_->strideW();
    no.passoH = opcoes_->strideH();
  }

  bool lerConvolucao(bool porCanal) {
    No no;
    no.operacao = porCanal ? Operacao::porCanal : Operacao::convolucao;
    if (!opcoesDo(porCanal ? tflite::kOpcoesDepthwise : tflite::kOpcoesConv2d)) return false;
    if (entradas_.size() != 3 || !ativacao(entradas_[0], 4)) return falha(prefixo_ + "entradas inválidas");
    const std::vector<size_t>& x = forma(entradas_[0]);
    if (!ehTensor(entradas_[1]) || forma(entradas_[1]).size() != 4) return falha(prefixo_ + "filtro inválido");
    const std::vector<size_t> f = forma(entradas_[1]);
    const size_t saidas = porCanal ? f[3] : f[0];
    if (porCanal ? (f[0] != 1 || saidas % x[3] != 0) : f[3] != x[3])
      return falha(prefixo_ + "filtro não casa com os canais da entrada");
    if (!constante(entradas_[1], f)) return false;
    if (entradas_[2] != kSemTensor && !constante(entradas_[2], {saidas})) return false;
    lerPassos(no);
    no.filtroH = static_cast<int>(f[1]);
    no.filtroW = static_cast<int>(f[2]);
    no.dilatacaoW = porCanal ? opcoes_->dilatacaoWDepthwise() : opcoes_->dilatacaoWConv();
    no.dilatacaoH = porCanal ? opcoes_->dilatacaoHDepthwise() : opcoes_->dilatacaoHConv();
    if (!ativacaoFundida(porCanal ? opcoes_->ativacaoDepthwise() : opcoes_->ativacaoConv(), no)) return false;
    size_t oh, ow;
    if (!janela(no, x[1], x[2], oh, ow) || !saidaCom({x[0], oh, ow, saidas})) return false;
    return adicionar(no);
  }

  bool lerMaximoLocal() {
    No no;
    no.operacao = Operacao::maximoLocal;
    if (!opcoesDo(tflite::kOpcoesPool) || entradas_.size() != 1 || !ativacao(entradas_[0], 4)) return false;
    const std::vector<size_t>& x = forma(entradas_[0]);
    lerPassos(no);
    no.filtroW = opcoes_->filtroW();
    no.filtroH = opcoes_->filtroH();
    if (!ativacaoFundida(opcoes_->ativacaoPool(), no)) return false;
    size_t oh, ow;
    if (!janela(no, x[1], x[2], oh, ow) || !saidaCom({x[0], oh, ow, x[3]})) return false;
    return adicionar(no);
  }

  bool lerSoma() {
    No no;
    no.operacao = Operacao::soma;
    if (entradas_.size() != 2 || !ehTensor(entradas_[0]) || !ativacao(entradas_[0], forma(entradas_[0]).size()) ||
        !ehTensor(entradas_[1]) || !ativacao(entradas_[1], forma(entradas_[0]).size()))
      return false;
    if (forma(entradas_[0]) != forma(entradas_[1])) return falha(prefixo_ + "soma de formas diferentes");
    if (opcoes_ && tipoDeOpcoes_ == tflite::kOpcoesAdd && !ativacaoFundida(opcoes_->ativacaoAdd(), no)) return false;
    return saidaCom(forma(entradas_[0])) && adicionar(no);
  }

  bool lerRelu() {
    No no;
    no.operacao = Operacao::relu;
    no.minimo = 0;
    if (entradas_.size() != 1 || !ehTensor(entradas_[0]) || !ativacao(entradas_[0], forma(entradas_[0]).size()))
      return false;
    return saidaCom(forma(entradas_[0])) && adicionar(no);
  }

  // One slope per channel, whatever leading ones its shape carries.
  bool lerPrelu() {
    No no;
    no.operacao = Operacao::prelu;
    if (entradas_.size() != 2 || !ativacao(entradas_[0], 4)) return false;
    const std::vector<size_t>& x = forma(entradas_[0]);
    if (!ehTensor(entradas_[1]) || !grafo_.tensores[entradas_[1]].ehConstante() ||
        grafo_.tensores[entradas_[1]].elementos() != x[3] || forma(entradas_[1]).empty() ||
        forma(entradas_[1]).back() != x[3])
      return falha(prefixo_ + "inclinações não casam com os canais");
    return saidaCom(x) && adicionar(no);
  }

  bool lerPreenchimento() {
    No no;
    no.operacao = Operacao::preencher;
    if (entradas_.size() != 2 || !ativacao(entradas_[0], 4)) return false;
    const std::vector<size_t>& x = forma(entradas_[0]);
    const int32_t p = entradas_[1];
    if (!ehTensor(p) || inteiros_[p].size() != 8 || forma(p) != std::vector<size_t>{4, 2})
      return falha(prefixo_ + "quantidades de preenchimento inválidas");
    std::vector<size_t> esperada(4);
    for (size_t d = 0; d < 4; ++d) {
      const int32_t a = inteiros_[p][2 * d], b = inteiros_[p][2 * d + 1];
      if (a < 0 || b < 0 || a > 1024 || b > 1024) return falha(prefixo_ + "preenchimento negativo ou grande demais");
      no.antes[d] = static_cast<size_t>(a);
      no.depois[d] = static_cast<size_t>(b);
      esperada[d] = x[d] + no.antes[d] + no.depois[d];
    }
    return saidaCom(esperada) && adicionar(no);
  }

  bool lerReformatacao() {
    No no;
    no.operacao = Operacao::reformatar;
    if (entradas_.empty() || !ehTensor(entradas_[0]) || !ativacao(entradas_[0], forma(entradas_[0]).size()))
      return false;
    entradas_.resize(1);  // the new shape is the output tensor's own
    if (grafo_.tensores[entradas_[0]].elementos() != grafo_.tensores[saida_].elementos())
      return falha(prefixo_ + "muda o número de elementos");
    return adicionar(no);
  }

  bool lerRedimensionamento() {
    No no;
    no.operacao = Operacao::redimensionar;
    if (!opcoesDo(tflite::kOpcoesResize) || entradas_.size() != 2 || !ativacao(entradas_[0], 4)) return false;
    const std::vector<size_t>& x = forma(entradas_[0]);
    const int32_t t = entradas_[1];
    if (!ehTensor(t) || inteiros_[t].size() != 2 || inteiros_[t][0] < 1 || inteiros_[t][1] < 1 ||
        static_cast<size_t>(inteiros_[t][0]) > kMaiorDimensao || static_cast<size_t>(inteiros_[t][1]) > kMaiorDimensao)
      return falha(prefixo_ + "tamanho inválido");
    no.alinhaCantos = opcoes_->alinhaCantos();
    no.meioPixel = opcoes_->centrosEmMeioPixel();
    if (no.alinhaCantos && no.meioPixel) return falha(prefixo_ + "cantos alinhados e meio pixel ao mesmo tempo");
    entradas_.resize(1);
    return saidaCom({x[0], static_cast<size_t>(inteiros_[t][0]), static_cast<size_t>(inteiros_[t][1]), x[3]}) &&
           adicionar(no);
  }

  bool lerConcatenacao() {
    No no;
    no.operacao = Operacao::concatenacao;
    if (!opcoesDo(tflite::kOpcoesConcat) || entradas_.size() < 2) return falha(prefixo_ + "entradas inválidas");
    if (!ehTensor(entradas_[0]) || !ativacao(entradas_[0], forma(entradas_[0]).size())) return false;
    std::vector<size_t> esperada = forma(entradas_[0]);
    const int posto = static_cast<int>(esperada.size());
    no.eixo = opcoes_->eixo() < 0 ? opcoes_->eixo() + posto : opcoes_->eixo();
    if (no.eixo < 0 || no.eixo >= posto) return falha(prefixo_ + "eixo inválido");
    if (!ativacaoFundida(opcoes_->ativacaoConcat(), no)) return false;
    esperada[no.eixo] = 0;
    for (int32_t t : entradas_) {
      if (!ehTensor(t) || !ativacao(t, esperada.size())) return false;
      for (int d = 0; d < posto; ++d)
        if (d != no.eixo && forma(t)[d] != esperada[d]) return falha(prefixo_ + "entradas de formas incompatíveis");
      esperada[no.eixo] += forma(t)[no.eixo];
    }
    return saidaCom(esperada) && adicionar(no);
  }

  bool adicionar(No& no) {
    no.entradas = entradas_;
    no.saida = saida_;
    grafo_.nos.push_back(std::move(no));
    return true;
  }

  const tflite::Model& modelo_;
  const tflite::SubGraph& sub_;
  Grafo grafo_;
  std::vector<int8_t> tipos_;
  std::vector<std::vector<int32_t>> inteiros_;
  std::unordered_map<int32_t, std::vector<float>> meios_;  // fp16 constants, already widened
  std::vector<bool> escrito_;
  std::vector<int32_t> entradas_;
  int32_t saida_ = kSemTensor;
  const tflite::Opcoes* opcoes_ = nullptr;
  uint8_t tipoDeOpcoes_ = 0;
  std::string prefixo_, erro_;
};

}  // namespace

size_t Tensor::elementos() const {
  size_t n = 1;
  for (size_t d : forma) n *= d;
  return n;
}

Resultado<Grafo> lerGrafo(const uint8_t* bytes, size_t tamanho) {
  const tflite::Model* modelo = tflite::verificarModelo(bytes, tamanho);
  if (!modelo) return Erro{"não é um modelo TFLite íntegro"};
  if (modelo->version() != 3) return Erro{"versão do esquema " + std::to_string(modelo->version()) + ", não 3"};
  if (!modelo->subgraphs() || modelo->subgraphs()->size() != 1) return Erro{"o modelo deve ter um só subgrafo"};
  return Leitor(*modelo, *modelo->subgraphs()->Get(0)).ler();
}

Resultado<Grafo> lerGrafoDeCopia(const uint8_t* bytes, size_t tamanho) {
  // Blocks aligned as the format aligns its buffers.
  struct alignas(16) Bloco {
    uint8_t bytes[16];
  };
  std::vector<Bloco> alinhados((tamanho + 15) / 16);
  if (tamanho) std::memcpy(alinhados.data(), bytes, tamanho);
  return lerGrafo(reinterpret_cast<const uint8_t*>(alinhados.data()), tamanho);
}

}  // namespace rosto::detector
