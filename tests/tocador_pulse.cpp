// A libpulse program for escuta's end-to-end tests and benchmarks: plays a
// stereo tone (one frequency per channel) on its own stream and, told on
// standard input, opens a second stream later, pauses and resumes the first,
// or turns it to silence with a 100 ms burst of the tone on demand.
//
//   tocador_pulse <Hz esquerda> <Hz direita> [<Hz esquerda 2> <Hz direita 2>]
//   stdin lines: segundo | pausar | continuar | silencio | surto
//   stdout: "fluxo <n> <sink input index>" once stream n plays
#include <pulse/pulseaudio.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kTaxa = 48000;
constexpr float kAmplitude = 0.1f;

struct Tom {
  int numero;
  double esquerda, direita;
  uint64_t quadro = 0;
  pa_stream* fluxo = nullptr;
  bool silencio = false;
  uint64_t surto = 0;  // frames of tone still to play in silence mode
};

pa_threaded_mainloop* laco;
pa_context* contexto;

void escrever(pa_stream* s, size_t bytes, void* dados) {
  auto* t = static_cast<Tom*>(dados);
  std::vector<float> bloco(bytes / sizeof(float) / 2 * 2);
  for (size_t k = 0; k < bloco.size(); k += 2, ++t->quadro) {
    const double segundos = static_cast<double>(t->quadro) / kTaxa;
    const float amplitude = !t->silencio || t->surto > 0 ? kAmplitude : 0.0f;
    if (t->surto > 0) --t->surto;
    bloco[k] = amplitude * static_cast<float>(std::sin(2 * M_PI * t->esquerda * segundos));
    bloco[k + 1] = amplitude * static_cast<float>(std::sin(2 * M_PI * t->direita * segundos));
  }
  pa_stream_write(s, bloco.data(), bloco.size() * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE);
}

void mudouEstado(pa_stream* s, void* dados) {
  auto* t = static_cast<Tom*>(dados);
  if (pa_stream_get_state(s) == PA_STREAM_READY) {
    std::printf("fluxo %d %u\n", t->numero, pa_stream_get_index(s));
    std::fflush(stdout);
  }
  if (pa_stream_get_state(s) == PA_STREAM_FAILED) std::exit(1);
}

void tocar(Tom& t) {
  const pa_sample_spec especificacao{PA_SAMPLE_FLOAT32LE, kTaxa, 2};
  t.fluxo = pa_stream_new(contexto, ("tom " + std::to_string(t.numero)).c_str(), &especificacao, nullptr);
  pa_stream_set_write_callback(t.fluxo, escrever, &t);
  pa_stream_set_state_callback(t.fluxo, mudouEstado, &t);
  pa_buffer_attr atributos{static_cast<uint32_t>(-1), static_cast<uint32_t>(pa_usec_to_bytes(50000, &especificacao)),
                           static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1)};
  pa_stream_connect_playback(t.fluxo, nullptr, &atributos, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "uso: %s <Hz esquerda> <Hz direita> [<Hz esquerda 2> <Hz direita 2>]\n", argv[0]);
    return 2;
  }
  Tom primeiro{1, std::atof(argv[1]), std::atof(argv[2])};
  Tom segundo{2, argc == 5 ? std::atof(argv[3]) : 0, argc == 5 ? std::atof(argv[4]) : 0};
  laco = pa_threaded_mainloop_new();
  contexto = pa_context_new(pa_threaded_mainloop_get_api(laco), "tocador_pulse");
  pa_context_set_state_callback(
      contexto, [](pa_context* c, void*) {
        const pa_context_state_t e = pa_context_get_state(c);
        if (e == PA_CONTEXT_FAILED || e == PA_CONTEXT_TERMINATED) std::exit(1);
        pa_threaded_mainloop_signal(laco, 0);
      },
      nullptr);
  pa_context_connect(contexto, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
  pa_threaded_mainloop_lock(laco);
  pa_threaded_mainloop_start(laco);
  while (pa_context_get_state(contexto) != PA_CONTEXT_READY) pa_threaded_mainloop_wait(laco);
  tocar(primeiro);
  pa_threaded_mainloop_unlock(laco);
  for (std::string linha; std::getline(std::cin, linha);) {
    pa_threaded_mainloop_lock(laco);
    if (linha == "segundo" && !segundo.fluxo) tocar(segundo);
    if (linha == "pausar" || linha == "continuar")
      pa_operation_unref(pa_stream_cork(primeiro.fluxo, linha == "pausar", nullptr, nullptr));
    if (linha == "silencio") primeiro.silencio = true;
    if (linha == "surto") primeiro.surto = kTaxa / 10;
    pa_threaded_mainloop_unlock(laco);
  }
  // Standard input closed: play on until killed.
  for (;;) pause();
}
