#include "rosto/linux/video/gerador_ffmpeg.h"

#include <algorithm>
#include <cmath>
#include <utility>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace rosto::ffmpeg {

namespace {

Fracao fracaoDe(Tempo t) { return {t.valor, std::max<int64_t>(t.escala, 1)}; }

double segundos(Fracao f) { return static_cast<double>(f.numerador) / static_cast<double>(f.denominador); }


}  // namespace

GeradorFFmpeg::GeradorFFmpeg(std::shared_ptr<AVFormatContext> formato, int fluxo,
                             const AjustesDoGerador& ajustes, const Transformacao& transformacao,
                             double duracao, const Limites& limites)
    : formato_(std::move(formato)),
      ajustes_(ajustes),
      orientacao_(ajustes.aplicaTransformacao ? orientacaoDe(transformacao) : Orientacao{}),
      duracao_(duracao) {
  Resultado<Decodificador> d = Decodificador::abrir(formato_.get(), fluxo, limites);
  if (d.ok())
    decodificador_.emplace(std::move(d.valor()));
  else
    erroDeAbertura_ = d.erro();
  base_ = formato_->streams[fluxo]->time_base;
  intervalo_ = std::max<int64_t>(1, intervaloNominal(*formato_->streams[fluxo]));
}

// The first frame fixes time zero: players start a video at its first picture.
void GeradorFFmpeg::iniciar() {
  iniciado_ = true;
  if (!decodificador_->proximo(atual_.quadro.get())) {
    fim_ = true;
    return;
  }
  const int64_t pts = atual_.quadro->best_effort_timestamp;
  origem_ = pts != AV_NOPTS_VALUE ? pts : 0;
  atual_.pts = 0;
  atual_.presente = true;
}

// Moves the current frame to the previous slot and decodes the next one.
bool GeradorFFmpeg::avancar() {
  if (atual_.presente) {
    std::swap(anterior_, atual_);
    av_frame_unref(atual_.quadro.get());
    atual_.presente = false;
  }
  if (!decodificador_->proximo(atual_.quadro.get())) return false;
  const int64_t pts = atual_.quadro->best_effort_timestamp;
  atual_.pts = pts != AV_NOPTS_VALUE ? pts - origem_ : (anterior_.presente ? anterior_.pts + intervalo_ : 0);
  atual_.presente = true;
  return true;
}

void GeradorFFmpeg::decodificarAte(Fracao pedido) {
  const int64_t alvo = primeiroPtsEm(pedido, base_);
  const bool atras = !atual_.presente || atual_.pts < alvo;
  if (atras && !fim_ && decodificador_->saltarSeVale(origem_ + alvo)) {
    for (Retido* r : {&anterior_, &atual_}) {
      av_frame_unref(r->quadro.get());
      r->presente = false;
    }
  }
  decodificador_->descartarAntesDe(origem_ + alvo);
  while (!fim_ && (!atual_.presente || comparar(atual_.pts, base_, pedido) < 0))
    if (!avancar()) fim_ = true;
}

bool GeradorFFmpeg::passouDoFim(Fracao pedido) const {
  const Fracao tolerancia = fracaoDe(ajustes_.toleranciaDepois);
  return !(segundos(pedido) < duracao_ + segundos(tolerancia));
}

Resultado<Imagem> GeradorFFmpeg::imagemEm(Tempo quando) {
  if (!decodificador_) return erroDeAbertura_;
  if (!iniciado_) iniciar();
  const Fracao pedido = fracaoDe(quando);
  decodificarAte(pedido);
  const Fracao janela = somar(pedido, fracaoDe(ajustes_.toleranciaDepois));
  if (atual_.presente && comparar(atual_.pts, base_, janela) <= 0) return converter(*atual_.quadro);
  if (atual_.presente) return converter(anterior_.presente ? *anterior_.quadro : *atual_.quadro);
  if (!anterior_.presente) return Erro{"o vídeo não tem quadros decodificáveis"};
  if (passouDoFim(pedido)) return Erro{"nenhum quadro neste tempo: além do fim do vídeo"};
  return converter(*anterior_.quadro);
}

Resultado<Imagem> GeradorFFmpeg::converter(const AVFrame& quadro) {
  const bool troca = orientacao_.trocaEixos();
  const double larguraVista = troca ? quadro.height : quadro.width;
  const double alturaVista = troca ? quadro.width : quadro.height;
  const double escala = std::min({1.0, ajustes_.tamanhoMaximo.largura / larguraVista,
                                  ajustes_.tamanhoMaximo.altura / alturaVista});
  const int largura = static_cast<int>(std::lround(larguraVista * escala));
  const int altura = static_cast<int>(std::lround(alturaVista * escala));
  if (!(escala > 0) || largura < 1 || altura < 1) return Erro{"tamanho de quadro inválido"};
  const int alvoL = troca ? altura : largura, alvoA = troca ? largura : altura;
  escalador_.reset(sws_getCachedContext(escalador_.release(), quadro.width, quadro.height,
                                        static_cast<AVPixelFormat>(quadro.format), alvoL, alvoA,
                                        AV_PIX_FMT_RGB24, SWS_AREA, nullptr, nullptr, nullptr));
  if (!escalador_) return Erro{"formato de quadro não suportado"};
  AVFrame* destino = escalado_.preparar(alvoL, alvoA);
  if (!destino) return Erro{textoDoErro(AVERROR(ENOMEM))};
  const int r = sws_scale(escalador_.get(), quadro.data, quadro.linesize, 0, quadro.height, destino->data,
                          destino->linesize);
  if (r < 0) return Erro{textoDoErro(r)};
  const Imagem escalada = escalado_.imagem();
  if (orientacao_.identidade()) return escalada;
  const Tamanho vista = orientar(escalada.rgb, alvoL, alvoA, escalada.bytesPorLinha, orientacao_, girado_);
  const int l = static_cast<int>(vista.largura);
  return Imagem{l, static_cast<int>(vista.altura), l * 3, girado_.data()};
}

}  // namespace rosto::ffmpeg
