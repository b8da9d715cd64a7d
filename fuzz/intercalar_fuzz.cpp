// The interleaver on random buffer lists; every buffer is its own exact-size
// allocation, so AddressSanitizer catches a read past any end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "escuta/saida_de_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  if (tamanho < 1) return 0;
  const size_t k = dados[0] % 9;
  std::vector<std::unique_ptr<uint8_t[]>> memoria;
  std::vector<escuta::BufferDeAudio> buffers;
  size_t pos = 1;
  for (size_t c = 0; c < k; ++c) {
    const uint32_t bytes = pos < tamanho ? dados[pos++] : 0;
    memoria.emplace_back(new uint8_t[bytes]);
    for (uint32_t b = 0; b < bytes; ++b) memoria.back()[b] = static_cast<uint8_t>(pos + b);
    buffers.push_back({memoria.back().get(), bytes});
  }
  const std::vector<float> saida = escuta::intercalar(buffers);
  const size_t f = k ? buffers[0].bytes / 4 : 0;
  if (saida.size() != f * k) std::abort();
  for (size_t i = 0; i < f; ++i)
    for (size_t c = 0; c < k; ++c) {
      float esperado = 0;
      if (i < buffers[c].bytes / 4) std::memcpy(&esperado, memoria[c].get() + 4 * i, 4);
      if (std::memcmp(&saida[i * k + c], &esperado, 4) != 0) std::abort();
    }
  return 0;
}
