#include "rosto/linux/video/video_ffmpeg.h"

#include <optional>

#include "rosto/linux/video/abertura_ffmpeg.h"
#include "rosto/linux/video/duracao_ffmpeg.h"
#include "rosto/linux/video/gerador_ffmpeg.h"
#include "rosto/linux/video/matriz_ffmpeg.h"

namespace rosto {

namespace {

using namespace ffmpeg;

// The display matrix holds 16.16 fixed-point a, b, c, d, tx, ty in file order.
Transformacao transformacaoDe(const AVStream& s) {
  const int32_t* m = matrizDeExibicao(s);
  if (!m) return {};
  const auto fixo = [](int32_t v) { return v / 65536.0; };
  return {fixo(m[0]), fixo(m[1]), fixo(m[3]), fixo(m[4]), fixo(m[6]), fixo(m[7])};
}

class AtivoFFmpeg : public Ativo {
 public:
  AtivoFFmpeg(const std::string& caminho, const Limites& limites) : caminho_(caminho), limites_(limites) {
    Resultado<Formato> aberto = abrirArquivo(caminho, limites);
    if (!aberto.ok()) return;
    formato_ = std::shared_ptr<AVFormatContext>(aberto.valor().release(), FechaFormato{});
    fluxo_ = primeiroFluxoDeVideo(*formato_);
  }

  std::vector<FaixaDeVideo> faixasDeVideo() override {
    std::vector<FaixaDeVideo> faixas;
    if (!formato_) return faixas;
    for (unsigned k = 0; k < formato_->nb_streams; ++k) {
      const AVStream& s = *formato_->streams[k];
      if (s.codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (s.disposition & AV_DISPOSITION_ATTACHED_PIC))
        continue;
      faixas.push_back({{static_cast<double>(s.codecpar->width), static_cast<double>(s.codecpar->height)},
                        transformacaoDe(s)});
    }
    return faixas;
  }

  double duracao() override {
    if (!duracao_) duracao_ = fluxo_ >= 0 ? duracaoDe(*formato_, fluxo_, caminho_, limites_) : 0.0;
    return *duracao_;
  }

  std::unique_ptr<Gerador> criarGerador(const AjustesDoGerador& ajustes) override {
    return std::make_unique<GeradorFFmpeg>(formato_, fluxo_, ajustes,
                                           transformacaoDe(*formato_->streams[fluxo_]), duracao(), limites_);
  }

 private:
  std::string caminho_;
  Limites limites_;
  std::shared_ptr<AVFormatContext> formato_;
  int fluxo_ = -1;
  std::optional<double> duracao_;
};

}  // namespace

std::unique_ptr<Ativo> abrirAtivoFFmpeg(const std::string& caminho, const Limites& limites) {
  av_log_set_level(AV_LOG_QUIET);  // damaged files are expected; their noise is not ours to print
  return std::make_unique<AtivoFFmpeg>(caminho, limites);
}

}  // namespace rosto
