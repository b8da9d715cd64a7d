#include "rosto/linux/detector/tflite.h"

namespace rosto::tflite {

namespace {

// One field list per options table: the byte size of each slot, 0 past the last.
struct Campos {
  uint8_t bytes[8];
};

Campos camposDe(uint8_t tipo) {
  switch (tipo) {
    case kOpcoesConv2d: return {{1, 4, 4, 1, 4, 4}};
    case kOpcoesDepthwise: return {{1, 4, 4, 4, 1, 4, 4}};
    case kOpcoesPool: return {{1, 4, 4, 4, 4, 1}};
    case kOpcoesConcat: return {{4, 1}};
    case kOpcoesAdd: return {{1, 1}};
    case kOpcoesResize: return {{4, 4, 1, 1}};
    default: return {{}};  // a table the loader reads nothing from
  }
}

}  // namespace

bool Opcoes::Verify(flatbuffers::Verifier& v, uint8_t tipo) const {
  if (!VerifyTableStart(v)) return false;
  const Campos campos = camposDe(tipo);
  for (int id = 0; id < 8 && campos.bytes[id]; ++id) {
    const bool ok = campos.bytes[id] == 4 ? VerifyField<int32_t>(v, campo(id), 4) : VerifyField<int8_t>(v, campo(id), 1);
    if (!ok) return false;
  }
  return v.EndTable();
}

bool Operator::Verify(flatbuffers::Verifier& v) const {
  return VerifyTableStart(v) && VerifyField<uint32_t>(v, campo(0), 4) && VerifyOffset(v, campo(1)) &&
         v.VerifyVector(inputs()) && VerifyOffset(v, campo(2)) && v.VerifyVector(outputs()) &&
         VerifyField<uint8_t>(v, campo(3), 1) && VerifyOffset(v, campo(4)) &&
         (!options() || options()->Verify(v, optionsType())) && v.EndTable();
}

const Model* verificarModelo(const uint8_t* bytes, size_t tamanho) {
  // The verifier's offsets are 32-bit; a buffer of 2 GiB or more is no model.
  if (!bytes || tamanho < 8 || tamanho >= FLATBUFFERS_MAX_BUFFER_SIZE) return nullptr;
  if (!flatbuffers::BufferHasIdentifier(bytes, "TFL3")) return nullptr;
  flatbuffers::Verifier v(bytes, tamanho);
  if (!v.VerifyBuffer<Model>("TFL3")) return nullptr;
  return flatbuffers::GetRoot<Model>(bytes);
}

}  // namespace rosto::tflite
