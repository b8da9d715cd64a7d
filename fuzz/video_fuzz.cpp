// Any bytes as a video file, through the whole path a run takes: open and
// probe, the displayed size and duration, the generator as a run sets it up,
// frames at times the input picks (forward, backward, past the end), and
// face detection on every frame that comes out.
//
// The last three bytes pick the times; the rest is the file. The harness
// caps frame size and decoded frames so that each input stays cheap.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rosto/geometria.h"
#include "rosto/linux/detector/detector_mediapipe.h"
#include "rosto/linux/video/video_ffmpeg.h"

namespace {

constexpr rosto::ffmpeg::Limites kLimites{.pixels = 1024 * 768, .quadros = 300};

rosto::PedidoDeRostos& pedido() {
  static std::unique_ptr<rosto::PedidoDeRostos> p = [] {
    auto r = rosto::criarPedidoMediaPipe(ROSTO_MODELOS);
    if (!r.ok()) {
      std::fprintf(stderr, "%s\n", r.erro().descricao.c_str());
      std::abort();
    }
    return std::move(r.valor());
  }();
  return *p;
}

// A file the real opener accepts: memfd paths are regular files.
class ArquivoEmMemoria {
 public:
  ArquivoEmMemoria(const uint8_t* dados, size_t tamanho) : fd_(memfd_create("video", MFD_CLOEXEC)) {
    for (size_t feito = 0; fd_ >= 0 && feito < tamanho;) {
      const ssize_t n = write(fd_, dados + feito, tamanho - feito);
      if (n <= 0) std::abort();
      feito += static_cast<size_t>(n);
    }
  }
  ~ArquivoEmMemoria() { close(fd_); }
  std::string caminho() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

// An image a generator hands out must be a usable view, always.
void conferir(const rosto::Imagem& i) {
  if (i.largura < 1 || i.altura < 1 || i.largura > 640 || i.altura > 640 || i.bytesPorLinha < i.largura * 3 ||
      !i.rgb)
    std::abort();
  volatile uint8_t ultimo = i.rgb[static_cast<size_t>(i.altura - 1) * i.bytesPorLinha + i.largura * 3 - 1];
  (void)ultimo;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  if (tamanho < 4) return 0;
  const uint8_t* escolhas = dados + tamanho - 3;
  const ArquivoEmMemoria arquivo(dados, tamanho - 3);
  auto ativo = rosto::abrirAtivoFFmpeg(arquivo.caminho(), kLimites);
  const auto faixas = ativo->faixasDeVideo();
  if (faixas.empty()) return 0;
  const rosto::Tamanho girado = rosto::aplicarTransformacao(faixas[0].tamanhoNatural, faixas[0].transformacaoPreferida);
  const double largura = std::fabs(girado.largura), altura = std::fabs(girado.altura);
  const double escala = rosto::escalaPara(rosto::ladoMaiorDe(largura, altura));
  const double duracao = ativo->duracao();
  rosto::AjustesDoGerador ajustes;
  ajustes.toleranciaDepois = {1, 30};
  ajustes.tamanhoMaximo = {largura * escala, altura * escala};
  auto gerador = ativo->criarGerador(ajustes);
  // Two times in [0, 8) s in the order given, then one past the end.
  const double tempos[] = {escolhas[0] / 32.0, escolhas[1] / 32.0,
                           (std::isfinite(duracao) ? duracao : 0) + escolhas[2] / 64.0};
  for (double t : tempos) {
    rosto::Resultado<rosto::Imagem> r = gerador->imagemEm({std::llround(t * 600), 600});
    if (!r.ok()) continue;
    conferir(r.valor());
    (void)pedido().executar(r.valor());
  }
  return 0;
}
