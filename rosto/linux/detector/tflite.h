#pragma once
// The few tables of TensorFlow Lite's model format (a FlatBuffer, schema
// version 3) that the loader reads, each with only the fields it reads, at
// the schema's own field ids. Every accessor is safe to call only after the
// whole buffer passed `verificarModelo`.
#include <flatbuffers/flatbuffers.h>

#include <cstddef>
#include <cstdint>

namespace rosto::tflite {

// A field's slot in its table's vtable, from its id in the schema.
constexpr flatbuffers::voffset_t campo(int id) { return static_cast<flatbuffers::voffset_t>(4 + 2 * id); }

// Operators by their BuiltinOperator code.
enum Codigo : int32_t {
  kAdd = 0,
  kConcatenation = 2,
  kConv2d = 3,
  kDepthwiseConv2d = 4,
  kDequantize = 6,
  kMaxPool2d = 17,
  kRelu = 19,
  kReshape = 22,
  kResizeBilinear = 23,
  kPad = 34,
  kPrelu = 54,
};

// TensorType.
enum Tipo : int8_t { kFloat32 = 0, kFloat16 = 1, kInt32 = 2 };

// Padding and ActivationFunctionType.
enum Preenchimento : int8_t { kSame = 0, kValid = 1 };
enum Ativacao : int8_t { kNenhuma = 0, kAtivRelu = 1, kAtivReluMenos1a1 = 2, kAtivRelu6 = 3 };

class Buffer : private flatbuffers::Table {
 public:
  const flatbuffers::Vector<uint8_t>* data() const { return GetPointer<const flatbuffers::Vector<uint8_t>*>(campo(0)); }
  bool Verify(flatbuffers::Verifier& v) const {
    return VerifyTableStart(v) && VerifyOffset(v, campo(0)) && v.VerifyVector(data()) && v.EndTable();
  }
};

class Tensor : private flatbuffers::Table {
 public:
  const flatbuffers::Vector<int32_t>* shape() const { return GetPointer<const flatbuffers::Vector<int32_t>*>(campo(0)); }
  int8_t type() const { return GetField<int8_t>(campo(1), 0); }
  uint32_t buffer() const { return GetField<uint32_t>(campo(2), 0); }
  const flatbuffers::String* name() const { return GetPointer<const flatbuffers::String*>(campo(3)); }
  // A sparse tensor (field 6) needs densifying, which the loader does not do.
  bool esparso() const { return CheckField(campo(6)); }
  bool Verify(flatbuffers::Verifier& v) const {
    return VerifyTableStart(v) && VerifyOffset(v, campo(0)) && v.VerifyVector(shape()) &&
           VerifyField<int8_t>(v, campo(1), 1) && VerifyField<uint32_t>(v, campo(2), 4) &&
           VerifyOffset(v, campo(3)) && v.VerifyString(name()) && v.EndTable();
  }
};

// The builtin options the loader reads; which table it is follows from the operator.
class Opcoes : private flatbuffers::Table {
 public:
  // Conv2DOptions, DepthwiseConv2DOptions and Pool2DOptions share their
  // first three fields: padding, stride_w, stride_h.
  int8_t padding() const { return GetField<int8_t>(campo(0), 0); }
  int32_t strideW() const { return GetField<int32_t>(campo(1), 0); }
  int32_t strideH() const { return GetField<int32_t>(campo(2), 0); }
  // Conv2DOptions: fused_activation_function 3, dilation_w_factor 4, dilation_h_factor 5.
  int8_t ativacaoConv() const { return GetField<int8_t>(campo(3), 0); }
  int32_t dilatacaoWConv() const { return GetField<int32_t>(campo(4), 1); }
  int32_t dilatacaoHConv() const { return GetField<int32_t>(campo(5), 1); }
  // DepthwiseConv2DOptions: depth_multiplier 3, fused_activation_function 4, dilations 5 and 6.
  int32_t multiplicador() const { return GetField<int32_t>(campo(3), 0); }
  int8_t ativacaoDepthwise() const { return GetField<int8_t>(campo(4), 0); }
  int32_t dilatacaoWDepthwise() const { return GetField<int32_t>(campo(5), 1); }
  int32_t dilatacaoHDepthwise() const { return GetField<int32_t>(campo(6), 1); }
  // Pool2DOptions: filter_width 3, filter_height 4, fused_activation_function 5.
  int32_t filtroW() const { return GetField<int32_t>(campo(3), 0); }
  int32_t filtroH() const { return GetField<int32_t>(campo(4), 0); }
  int8_t ativacaoPool() const { return GetField<int8_t>(campo(5), 0); }
  // AddOptions: fused_activation_function 0.
  int8_t ativacaoAdd() const { return GetField<int8_t>(campo(0), 0); }
  // ConcatenationOptions: axis 0, fused_activation_function 1.
  int32_t eixo() const { return GetField<int32_t>(campo(0), 0); }
  int8_t ativacaoConcat() const { return GetField<int8_t>(campo(1), 0); }
  // ResizeBilinearOptions: align_corners 2, half_pixel_centers 3.
  bool alinhaCantos() const { return GetField<uint8_t>(campo(2), 0) != 0; }
  bool centrosEmMeioPixel() const { return GetField<uint8_t>(campo(3), 0) != 0; }
  // Each options table as the BuiltinOptions union tags it, its fields checked at their own sizes.
  bool Verify(flatbuffers::Verifier& v, uint8_t tipo) const;
};

// The BuiltinOptions union's tags of the tables above.
enum TipoDeOpcoes : uint8_t {
  kSemOpcoes = 0,
  kOpcoesConv2d = 1,
  kOpcoesDepthwise = 2,
  kOpcoesPool = 5,
  kOpcoesConcat = 10,
  kOpcoesAdd = 11,
  kOpcoesResize = 15,
};

class Operator : private flatbuffers::Table {
 public:
  uint32_t opcodeIndex() const { return GetField<uint32_t>(campo(0), 0); }
  const flatbuffers::Vector<int32_t>* inputs() const { return GetPointer<const flatbuffers::Vector<int32_t>*>(campo(1)); }
  const flatbuffers::Vector<int32_t>* outputs() const { return GetPointer<const flatbuffers::Vector<int32_t>*>(campo(2)); }
  // builtin_options is a union: its type at id 3, the table at id 4.
  uint8_t optionsType() const { return GetField<uint8_t>(campo(3), 0); }
  const Opcoes* options() const { return GetPointer<const Opcoes*>(campo(4)); }
  bool Verify(flatbuffers::Verifier& v) const;
};

class OperatorCode : private flatbuffers::Table {
 public:
  // The code is the larger of the old byte field and the newer int one.
  int32_t codigo() const {
    const int32_t antigo = GetField<int8_t>(campo(0), 0), novo = GetField<int32_t>(campo(3), 0);
    return antigo > novo ? antigo : novo;
  }
  bool Verify(flatbuffers::Verifier& v) const {
    return VerifyTableStart(v) && VerifyField<int8_t>(v, campo(0), 1) && VerifyField<int32_t>(v, campo(3), 4) &&
           v.EndTable();
  }
};

class SubGraph : private flatbuffers::Table {
 public:
  using Tensores = flatbuffers::Vector<flatbuffers::Offset<Tensor>>;
  using Operadores = flatbuffers::Vector<flatbuffers::Offset<Operator>>;
  const Tensores* tensors() const { return GetPointer<const Tensores*>(campo(0)); }
  const flatbuffers::Vector<int32_t>* inputs() const { return GetPointer<const flatbuffers::Vector<int32_t>*>(campo(1)); }
  const flatbuffers::Vector<int32_t>* outputs() const { return GetPointer<const flatbuffers::Vector<int32_t>*>(campo(2)); }
  const Operadores* operators() const { return GetPointer<const Operadores*>(campo(3)); }
  bool Verify(flatbuffers::Verifier& v) const {
    return VerifyTableStart(v) && VerifyOffset(v, campo(0)) && v.VerifyVector(tensors()) &&
           v.VerifyVectorOfTables(tensors()) && VerifyOffset(v, campo(1)) && v.VerifyVector(inputs()) &&
           VerifyOffset(v, campo(2)) && v.VerifyVector(outputs()) && VerifyOffset(v, campo(3)) &&
           v.VerifyVector(operators()) && v.VerifyVectorOfTables(operators()) && v.EndTable();
  }
};

class Model : private flatbuffers::Table {
 public:
  using Codigos = flatbuffers::Vector<flatbuffers::Offset<OperatorCode>>;
  using Subgrafos = flatbuffers::Vector<flatbuffers::Offset<SubGraph>>;
  using Buffers = flatbuffers::Vector<flatbuffers::Offset<Buffer>>;
  uint32_t version() const { return GetField<uint32_t>(campo(0), 0); }
  const Codigos* operatorCodes() const { return GetPointer<const Codigos*>(campo(1)); }
  const Subgrafos* subgraphs() const { return GetPointer<const Subgrafos*>(campo(2)); }
  const Buffers* buffers() const { return GetPointer<const Buffers*>(campo(4)); }
  bool Verify(flatbuffers::Verifier& v) const {
    return VerifyTableStart(v) && VerifyField<uint32_t>(v, campo(0), 4) && VerifyOffset(v, campo(1)) &&
           v.VerifyVector(operatorCodes()) && v.VerifyVectorOfTables(operatorCodes()) && VerifyOffset(v, campo(2)) &&
           v.VerifyVector(subgraphs()) && v.VerifyVectorOfTables(subgraphs()) && VerifyOffset(v, campo(4)) &&
           v.VerifyVector(buffers()) && v.VerifyVectorOfTables(buffers()) && v.EndTable();
  }
};

// The model in `bytes`, or null when they are not a whole, well-formed one
// (identifier "TFL3", every offset and vector inside the buffer). `bytes`
// must be 16-byte aligned, as the format aligns its buffers.
const Model* verificarModelo(const uint8_t* bytes, size_t tamanho);

}  // namespace rosto::tflite
