// Extraction alone: the FFmpeg extractor behind rosto's seam, driven through
// the same accumulated sample times as rosto, without detection.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rosto/geometria.h"
#include "rosto/linux/video/video_ffmpeg.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "uso: bench_extracao <video> [fps]\n");
    return 2;
  }
  const double fps = argc > 2 ? std::atof(argv[2]) : 5.0;
  const auto inicio = std::chrono::steady_clock::now();
  auto ativo = rosto::abrirAtivoFFmpeg(argv[1]);
  const auto faixas = ativo->faixasDeVideo();
  if (faixas.empty()) return 1;
  const rosto::Tamanho g = rosto::aplicarTransformacao(faixas[0].tamanhoNatural, faixas[0].transformacaoPreferida);
  const double l = std::fabs(g.largura), a = std::fabs(g.altura);
  const double escala = rosto::escalaPara(rosto::ladoMaiorDe(l, a));
  rosto::AjustesDoGerador ajustes;
  ajustes.toleranciaDepois = {1, 30};
  ajustes.tamanhoMaximo = {l * escala, a * escala};
  auto gerador = ativo->criarGerador(ajustes);
  const double duracao = ativo->duracao();
  int quadros = 0, erros = 0;
  for (double t = 0; t < duracao; t += 1 / fps) {
    const auto r = gerador->imagemEm({static_cast<int64_t>(std::llround(t * 600)), 600});
    r.ok() ? ++quadros : ++erros;
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  std::printf("%.3f %d %d\n", s, quadros, erros);
}
