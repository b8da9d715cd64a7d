#include "rosto/linux/detector/modelo_sintetico_test.h"

#include <flatbuffers/flatbuffers.h>

#include <cstring>

#include "rosto/linux/detector/tflite.h"

namespace rosto::detector::teste {

namespace {

using flatbuffers::FlatBufferBuilder;
using flatbuffers::Offset;
using tflite::campo;

Offset<void> opcoes(FlatBufferBuilder& b, const OperadorSintetico& op) {
  const auto inicio = b.StartTable();
  for (size_t k = 0; k < op.opcoes.size(); ++k) {
    const bool byte = k < op.tamanhos.size() && op.tamanhos[k] == 1;
    if (byte)
      b.AddElement<int8_t>(campo(static_cast<int>(k)), static_cast<int8_t>(op.opcoes[k]), INT8_MIN);
    else
      b.AddElement<int32_t>(campo(static_cast<int>(k)), op.opcoes[k], INT32_MIN);
  }
  return Offset<void>(b.EndTable(inicio));
}

Offset<void> operador(FlatBufferBuilder& b, const OperadorSintetico& op, uint32_t indice) {
  const auto entradas = b.CreateVector(op.entradas), saidas = b.CreateVector(op.saidas);
  const Offset<void> o = op.tipoDeOpcoes ? opcoes(b, op) : Offset<void>();
  const auto inicio = b.StartTable();
  b.AddElement<uint32_t>(campo(0), indice, UINT32_MAX);
  b.AddOffset(campo(1), entradas);
  b.AddOffset(campo(2), saidas);
  if (op.tipoDeOpcoes) {
    b.AddElement<uint8_t>(campo(3), op.tipoDeOpcoes, 0);
    b.AddOffset(campo(4), o);
  }
  return Offset<void>(b.EndTable(inicio));
}

Offset<void> tensor(FlatBufferBuilder& b, const TensorSintetico& t, uint32_t buffer) {
  const auto forma = b.CreateVector(t.forma);
  Offset<void> esparsidade;
  if (t.esparso) {
    const auto i = b.StartTable();
    esparsidade = Offset<void>(b.EndTable(i));
  }
  const auto inicio = b.StartTable();
  b.AddOffset(campo(0), forma);
  b.AddElement<int8_t>(campo(1), t.tipo, INT8_MIN);
  b.AddElement<uint32_t>(campo(2), buffer, UINT32_MAX);
  if (t.esparso) b.AddOffset(campo(6), esparsidade);
  return Offset<void>(b.EndTable(inicio));
}

Offset<void> tabelaDeBuffer(FlatBufferBuilder& b, const std::vector<uint8_t>& dados) {
  Offset<flatbuffers::Vector<uint8_t>> v;
  if (!dados.empty()) {
    b.ForceVectorAlignment(dados.size(), 1, 16);
    v = b.CreateVector(dados);
  }
  const auto inicio = b.StartTable();
  if (!dados.empty()) b.AddOffset(campo(0), v);
  return Offset<void>(b.EndTable(inicio));
}

}  // namespace

std::vector<uint8_t> construir(const ModeloSintetico& m) {
  FlatBufferBuilder b;
  // Buffer 0 is the empty sentinel; tensor k with data uses buffer k + 1.
  std::vector<Offset<void>> buffers{tabelaDeBuffer(b, {})}, tensores, operadores, codigos;
  for (size_t k = 0; k < m.tensores.size(); ++k) {
    buffers.push_back(tabelaDeBuffer(b, m.tensores[k].dados));
    tensores.push_back(tensor(b, m.tensores[k], m.tensores[k].dados.empty() ? 0 : static_cast<uint32_t>(k + 1)));
  }
  for (size_t k = 0; k < m.operadores.size(); ++k) {
    const auto inicio = b.StartTable();
    b.AddElement<int8_t>(campo(0), static_cast<int8_t>(m.operadores[k].codigo < 127 ? m.operadores[k].codigo : 127), INT8_MIN);
    b.AddElement<int32_t>(campo(3), m.operadores[k].codigo, INT32_MIN);
    codigos.push_back(Offset<void>(b.EndTable(inicio)));
    operadores.push_back(operador(b, m.operadores[k], static_cast<uint32_t>(k)));
  }
  const auto vt = b.CreateVector(tensores), vo = b.CreateVector(operadores);
  const auto ve = b.CreateVector(m.entradas), vs = b.CreateVector(m.saidas);
  auto inicio = b.StartTable();
  b.AddOffset(campo(0), vt);
  b.AddOffset(campo(1), ve);
  b.AddOffset(campo(2), vs);
  b.AddOffset(campo(3), vo);
  const Offset<void> subgrafo(b.EndTable(inicio));
  const auto vc = b.CreateVector(codigos), vsub = b.CreateVector(std::vector<Offset<void>>{subgrafo});
  const auto vb = b.CreateVector(buffers);
  inicio = b.StartTable();
  b.AddElement<uint32_t>(campo(0), m.versao, UINT32_MAX);
  b.AddOffset(campo(1), vc);
  b.AddOffset(campo(2), vsub);
  b.AddOffset(campo(4), vb);
  b.Finish(Offset<void>(b.EndTable(inicio)), m.identificador);
  return std::vector<uint8_t>(b.GetBufferPointer(), b.GetBufferPointer() + b.GetSize());
}

std::vector<uint8_t> bytesDe(const std::vector<float>& valores) {
  std::vector<uint8_t> bytes(valores.size() * 4);
  std::memcpy(bytes.data(), valores.data(), bytes.size());
  return bytes;
}

ModeloSintetico convolucaoSimples() {
  ModeloSintetico m;
  std::vector<float> filtro(2 * 3 * 3 * 2);
  for (size_t k = 0; k < filtro.size(); ++k) filtro[k] = static_cast<float>(k % 5) * 0.25f - 0.5f;
  m.tensores = {{{1, 4, 4, 2}, tflite::kFloat32, {}},
                {{2, 3, 3, 2}, tflite::kFloat32, bytesDe(filtro)},
                {{2}, tflite::kFloat32, bytesDe({0.5f, -1.0f})},
                {{1, 4, 4, 2}, tflite::kFloat32, {}}};
  // Conv2DOptions: padding SAME, stride_w, stride_h, fused activation NONE.
  m.operadores = {{tflite::kConv2d, {0, 1, 2}, {3}, tflite::kOpcoesConv2d, {tflite::kSame, 1, 1, 0}, {1, 4, 4, 1}}};
  m.entradas = {0};
  m.saidas = {3};
  return m;
}

}  // namespace rosto::detector::teste
