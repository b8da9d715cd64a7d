#include "rosto/registro.h"

#include <algorithm>
#include <cmath>

#include "rosto/formatacao.h"

namespace rosto {

namespace {

constexpr size_t kMaximoNaLista = 6;

// "x":…,"y":…,"w":…,"h":…,"c":… with y measured from the top.
std::string campos(const Rosto& rosto) {
  const Retangulo& r = rosto.caixa;
  const double meioX = r.x + r.largura / 2;  // same for the standardized form
  const double meioY = r.y + r.altura / 2;
  return "\"x\":" + fixo(meioX, 4) + ",\"y\":" + fixo(1.0 - meioY, 4) +
         ",\"w\":" + fixo(std::fabs(r.largura), 4) + ",\"h\":" + fixo(std::fabs(r.altura), 4) +
         ",\"c\":" + fixo(static_cast<double>(rosto.confianca), 3);
}

}  // namespace

double areaDe(const Rosto& rosto) { return std::fabs(rosto.caixa.largura) * std::fabs(rosto.caixa.altura); }

size_t indiceDoPrincipal(const std::vector<Rosto>& rostos) {
  size_t escolhido = 0;
  for (size_t k = 1; k < rostos.size(); ++k)
    if (areaDe(rostos[escolhido]) < areaDe(rostos[k])) escolhido = k;
  return escolhido;
}

std::vector<Rosto> listaDeRostos(const std::vector<Rosto>& rostos) {
  std::vector<Rosto> ordenados = rostos;
  std::stable_sort(ordenados.begin(), ordenados.end(),
                   [](const Rosto& a, const Rosto& b) { return areaDe(a) > areaDe(b); });
  if (ordenados.size() > kMaximoNaLista) ordenados.resize(kMaximoNaLista);
  return ordenados;
}

std::string registroDaAmostra(double t, const ListaDeRostos& rostos) {
  std::string registro = "{\"t\":" + fixo(t, 3);
  if (rostos && !rostos->empty()) {
    registro += "," + campos((*rostos)[indiceDoPrincipal(*rostos)]);
    registro += ",\"n\":" + inteiro(static_cast<int64_t>(rostos->size())) + ",\"rostos\":[";
    const std::vector<Rosto> lista = listaDeRostos(*rostos);
    for (size_t k = 0; k < lista.size(); ++k) {
      if (k > 0) registro += ",";
      registro += "{" + campos(lista[k]) + "}";
    }
    registro += "]";
  }
  return registro + "}";
}

}  // namespace rosto
