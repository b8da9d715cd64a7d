#include "rosto/linux/video/abertura_ffmpeg.h"

#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <vector>

namespace rosto::ffmpeg {

namespace {

using Relogio = std::chrono::steady_clock;
constexpr std::chrono::seconds kPrazoDeAbertura{20};

int interromper(void* opaco) {
  const auto* formato = static_cast<const AVFormatContext*>(opaco);
  return Relogio::now() > *static_cast<const Relogio::time_point*>(formato->opaque) ? 1 : 0;
}

// Probing decodes a few frames of each stream: they get the same pixel cap.
int lerInformacoes(AVFormatContext* formato, const Limites& limites) {
  std::vector<AVDictionary*> opcoes(formato->nb_streams, nullptr);
  for (AVDictionary*& o : opcoes) av_dict_set_int(&o, "max_pixels", limites.pixels, 0);
  const int r = avformat_find_stream_info(formato, opcoes.data());
  for (AVDictionary*& o : opcoes) av_dict_free(&o);
  return r;
}

bool ehArquivoComum(const std::string& caminho) {
  struct stat info {};
  return stat(caminho.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

Resultado<Formato> abrirArquivo(const std::string& caminho, const Limites& limites) {
  if (!ehArquivoComum(caminho)) return Erro{"não é um arquivo comum"};
  AVFormatContext* bruto = avformat_alloc_context();
  if (!bruto) return Erro{textoDoErro(AVERROR(ENOMEM))};
  auto prazo = std::make_unique<Relogio::time_point>(Relogio::now() + kPrazoDeAbertura);
  bruto->opaque = prazo.get();
  bruto->interrupt_callback = {interromper, bruto};
  // On failure avformat_open_input frees the context itself (not its opaque).
  int r = avformat_open_input(&bruto, caminho.c_str(), nullptr, nullptr);
  if (r < 0) return Erro{textoDoErro(r)};
  prazo.release();
  Formato formato(bruto);
  r = lerInformacoes(formato.get(), limites);
  // Reading frames later has no deadline: the file is known to be a regular one.
  *static_cast<Relogio::time_point*>(formato->opaque) = Relogio::time_point::max();
  if (r < 0) return Erro{textoDoErro(r)};
  return formato;
}

void FechaFormato::operator()(AVFormatContext* f) const {
  delete static_cast<std::chrono::steady_clock::time_point*>(f->opaque);
  avformat_close_input(&f);
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
