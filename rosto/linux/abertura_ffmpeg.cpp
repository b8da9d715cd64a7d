#include "rosto/linux/abertura_ffmpeg.h"

#include <sys/stat.h>

#include <chrono>

namespace rosto::ffmpeg {

namespace {

using Relogio = std::chrono::steady_clock;
constexpr std::chrono::seconds kPrazoDeAbertura{20};

int interromper(void* opaco) {
  return Relogio::now() > *static_cast<const Relogio::time_point*>(opaco) ? 1 : 0;
}

bool ehArquivoComum(const std::string& caminho) {
  struct stat info {};
  return stat(caminho.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

Resultado<Formato> abrirArquivo(const std::string& caminho) {
  if (!ehArquivoComum(caminho)) return Erro{"não é um arquivo comum"};
  AVFormatContext* bruto = avformat_alloc_context();
  if (!bruto) return Erro{textoDoErro(AVERROR(ENOMEM))};
  Relogio::time_point prazo = Relogio::now() + kPrazoDeAbertura;
  bruto->interrupt_callback = {interromper, &prazo};
  // On failure avformat_open_input frees the context itself.
  int r = avformat_open_input(&bruto, caminho.c_str(), nullptr, nullptr);
  if (r < 0) return Erro{textoDoErro(r)};
  Formato formato(bruto);
  r = avformat_find_stream_info(formato.get(), nullptr);
  formato->interrupt_callback = {};  // the deadline dies with this call
  if (r < 0) return Erro{textoDoErro(r)};
  return formato;
}

int primeiroFluxoDeVideo(const AVFormatContext& formato) {
  for (unsigned k = 0; k < formato.nb_streams; ++k) {
    const AVStream* s = formato.streams[k];
    if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
      return static_cast<int>(k);
  }
  return -1;
}

}  // namespace rosto::ffmpeg
