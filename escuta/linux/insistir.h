#pragma once
// Trying again after a refusal that may pass: a server busy with a burst of
// clients refuses some of them for a moment.
#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

namespace escuta {

// How long a refusal may last before it counts as an answer.
inline constexpr std::chrono::milliseconds kPrazoDeRecusas{2000};

// Calls `tentar` until it gives a value or `prazo` has passed, waiting 10 ms
// after the first refusal, then twice as long each time up to 200 ms.
// `tentar` gives nothing for a refusal worth another try.
template <typename Tentar>
auto insistir(std::chrono::milliseconds prazo, Tentar tentar) -> decltype(tentar()) {
  const auto fim = std::chrono::steady_clock::now() + prazo;
  auto espera = std::chrono::milliseconds(10);
  for (;;) {
    if (auto r = tentar()) return r;
    if (std::chrono::steady_clock::now() + espera > fim) return std::nullopt;
    std::this_thread::sleep_for(espera);
    espera = std::min(espera * 2, std::chrono::milliseconds(200));
  }
}

}  // namespace escuta
