// Sample records for arbitrary finite values: they parse as JSON and give the
// values back to the printed precision.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "rosto/registro.h"

namespace {
bool perto(double lido, double valor, double casas) {
  return std::fabs(lido - valor) <= 0.5 * std::pow(10, -casas) * 1.0001 + std::fabs(valor) * 1e-15;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
  if (tamanho < 8) return 0;
  double t;
  std::memcpy(&t, dados, 8);
  if (!std::isfinite(t)) return 0;
  std::vector<rosto::Rosto> rostos;
  for (size_t k = 8; k + 36 <= tamanho; k += 36) {
    double v[4];
    float c;
    std::memcpy(v, dados + k, 32);
    std::memcpy(&c, dados + k + 32, 4);
    if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]) || !std::isfinite(v[3]) ||
        !std::isfinite(c) || !std::isfinite(v[0] + v[2] / 2) || !std::isfinite(v[1] + v[3] / 2) ||
        !std::isfinite(std::fabs(v[2]) * std::fabs(v[3])))
      return 0;
    rostos.push_back({{v[0], v[1], v[2], v[3]}, c});
  }
  const nlohmann::json r = nlohmann::json::parse(rosto::registroDaAmostra(t, rosto::ListaDeRostos(rostos)));
  if (!perto(r["t"].get<double>(), t, 3)) std::abort();
  if (rostos.empty()) return r.size() == 1 ? 0 : (std::abort(), 0);
  if (r["n"].get<size_t>() != rostos.size() || r["rostos"].size() != std::min<size_t>(6, rostos.size())) std::abort();
  const rosto::Rosto& p = rostos[rosto::indiceDoPrincipal(rostos)];
  const rosto::Retangulo& b = p.caixa;
  if (!perto(r["x"].get<double>(), b.x + b.largura / 2, 4) || !perto(r["y"].get<double>(), 1 - (b.y + b.altura / 2), 4) ||
      !perto(r["w"].get<double>(), std::fabs(b.largura), 4) || !perto(r["h"].get<double>(), std::fabs(b.altura), 4) ||
      !perto(r["c"].get<double>(), p.confianca, 3) || r["rostos"][0] != nlohmann::json::parse(r.dump())["rostos"][0])
    std::abort();
  return 0;
}
