#include "escuta/linux/pulseaudio/mistura.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace escuta {

namespace {

// A device's ratio answers its queues, as seen through a two-second average,
// only beyond 2 ms under the target or 5 ms over it: within, devices on the
// reader's own clock are read sample for sample, with no interpolation and
// no wandering pitch. Beyond, 0.3 of ratio per second of excess: 1000 ppm
// settles 5 ms under or 8 ms over the target.
constexpr double kFolgaAbaixo = 0.002;
constexpr double kFolgaAcima = 0.005;
constexpr double kDeslize = 1e-4;  // the glide back to whole frames, at most
constexpr double kGanho = 0.3;
constexpr double kSegundosDaMedia = 2.0;

}  // namespace

Mistura::Mistura(Parametros p) : p_(p) {}

void Mistura::abrir(uint32_t fluxo, uint32_t dispositivo) {
  fluxos_[fluxo] = Fluxo{dispositivo};
  auto [d, novo] = dispositivos_.try_emplace(dispositivo);
  if (novo) d->second.alvo = p_.alvo;
}

void Mistura::receber(uint32_t fluxo, const float* quadros, size_t n) {
  const auto it = fluxos_.find(fluxo);
  if (it == fluxos_.end() || it->second.fim) return;
  acrescentar(it->second, quadros, n);
}

void Mistura::lacuna(uint32_t fluxo, size_t n) {
  const auto it = fluxos_.find(fluxo);
  if (it == fluxos_.end() || it->second.fim) return;
  Fluxo& f = it->second;
  const size_t canais = p_.canais;
  const size_t tem = f.quadros(canais);
  const size_t r = std::min<size_t>(p_.rampa, tem);
  float* cauda = f.dados.data() + f.dados.size() - r * canais;
  for (size_t k = 0; k < r; ++k)
    for (size_t c = 0; c < canais; ++c) cauda[k * canais + c] *= static_cast<float>(r - k) / static_cast<float>(r + 1);
  const std::vector<float> silencio(n * canais, 0.0f);
  acrescentar(f, silencio.data(), n);
  f.subida = 0;
}

// Into a device that plays nothing yet, it brings where its own was in the
// reading (its phase between frames, its ratio): the next frame follows on.
void Mistura::mover(uint32_t fluxo, uint32_t dispositivo) {
  const auto it = fluxos_.find(fluxo);
  if (it == fluxos_.end() || it->second.dispositivo == dispositivo) return;
  Fluxo& f = it->second;
  const Dispositivo origem = dispositivos_[f.dispositivo];
  f.dispositivo = dispositivo;
  auto [d, novo] = dispositivos_.try_emplace(dispositivo);
  if (novo) d->second.alvo = p_.alvo;
  if (d->second.ativo || f.estado != Fluxo::tocando || !origem.ativo) return;
  d->second.razao = origem.razao;
  d->second.fase = origem.fase;
  d->second.ocupacaoMedia = origem.ocupacaoMedia;
  d->second.ativo = true;
}

void Mistura::acrescentar(Fluxo& f, const float* quadros, size_t n) {
  f.antesDoLote = f.quadros(p_.canais);
  f.lote = n;
  const size_t antes = f.dados.size();
  f.dados.insert(f.dados.end(), quadros, quadros + n * p_.canais);
  for (size_t k = 0; k < n && f.subida < p_.rampa; ++k, ++f.subida)
    for (size_t c = 0; c < p_.canais; ++c)
      f.dados[antes + k * p_.canais + c] *= static_cast<float>(f.subida + 1) / static_cast<float>(p_.rampa + 1);
  // Only a stalled reader or a clock beyond kDerivaMaxima gets here.
  if (f.quadros(p_.canais) > p_.maximo)
    f.inicio += (f.quadros(p_.canais) - static_cast<size_t>(alvo(f.dispositivo))) * p_.canais;
  if (f.inicio > f.dados.size() / 2) {
    f.dados.erase(f.dados.begin(), f.dados.begin() + static_cast<ptrdiff_t>(f.inicio));
    f.inicio = 0;
  }
}

void Mistura::encerrar(uint32_t fluxo) {
  const auto it = fluxos_.find(fluxo);
  if (it == fluxos_.end()) return;
  // Never heard: nothing to fade.
  if (it->second.estado == Fluxo::enchendo) return void(fluxos_.erase(it));
  it->second.fim = true;
}

size_t Mistura::ocupacao(uint32_t fluxo) const {
  const auto it = fluxos_.find(fluxo);
  return it == fluxos_.end() ? 0 : it->second.quadros(p_.canais);
}

bool Mistura::tocando(uint32_t fluxo) const {
  const auto it = fluxos_.find(fluxo);
  return it != fluxos_.end() && it->second.estado == Fluxo::tocando;
}

double Mistura::razao(uint32_t dispositivo) const {
  const auto it = dispositivos_.find(dispositivo);
  return it == dispositivos_.end() ? 1.0 : it->second.razao;
}

double Mistura::alvo(uint32_t dispositivo) const {
  const auto it = dispositivos_.find(dispositivo);
  return it == dispositivos_.end() ? p_.alvo : it->second.alvo;
}

// The least `medida` among the device's streams playing and still coming;
// the largest size_t when there are none.
template <typename Medida>
size_t Mistura::menorEntreOsQueTocam(uint32_t id, Medida medida) const {
  size_t menor = std::numeric_limits<size_t>::max();
  for (const auto& [_, f] : fluxos_)
    if (f.dispositivo == id && f.estado == Fluxo::tocando && !f.fim) menor = std::min(menor, medida(f));
  return menor;
}

// The fullest a device's streams can be counted on: the emptiest one still coming.
size_t Mistura::ocupacaoDeReferencia(uint32_t id) const {
  return menorEntreOsQueTocam(id, [this](const Fluxo& f) { return f.quadros(p_.canais); });
}

// Where the device's queues stand whenever they are read: the emptiest
// stream's low point, just before its latest delivery.
size_t Mistura::folgaDeReferencia(uint32_t id) const {
  return menorEntreOsQueTocam(id, [](const Fluxo& f) { return f.antesDoLote; });
}

bool Mistura::temTocando(uint32_t id) const {
  for (const auto& [_, f] : fluxos_)
    if (f.dispositivo == id && f.estado == Fluxo::tocando) return true;
  return false;
}

void Mistura::misturar(float* saida, size_t n) {
  std::fill(saida, saida + n * p_.canais, 0.0f);
  // A waiting stream joins once it holds the target besides its latest
  // delivery (so that it holds the target just before the next one), and what
  // the device's others hold, from the same render on, so that it plays in
  // step with them; never less, or a device running short would take its
  // streams back short. What it holds beyond that is older: it goes.
  for (auto& [_, f] : fluxos_) {
    if (f.estado != Fluxo::enchendo) continue;
    const size_t referencia = ocupacaoDeReferencia(f.dispositivo);
    const size_t proprio = std::max<size_t>(1, static_cast<size_t>(alvo(f.dispositivo)) + f.lote);
    const size_t limiar = referencia == std::numeric_limits<size_t>::max() ? proprio : std::max(proprio, referencia);
    if (f.quadros(p_.canais) < limiar) continue;
    f.inicio += (f.quadros(p_.canais) - limiar) * p_.canais;
    f.estado = Fluxo::tocando;
  }
  for (auto& [id, d] : dispositivos_) lerDispositivo(id, d, saida, n);
  std::erase_if(fluxos_, [this](const auto& par) { return par.second.fim && par.second.estado == Fluxo::enchendo; });
  std::erase_if(dispositivos_, [this](const auto& par) {
    for (const auto& [_, f] : fluxos_)
      if (f.dispositivo == par.first) return false;
    return true;
  });
}

// Output frame j sits at fase + j·razao device frames past the last one
// read (the sum of its streams' last frames: a stream moved in from another
// device brings its own), between two device frames, and is interpolated
// from the four around it (Catmull-Rom): a linear one, whenever the ratio
// moved off 1, was heard under the streams 50 dB down, sidebands included.
void Mistura::lerDispositivo(uint32_t id, Dispositivo& d, float* saida, size_t n) {
  if (!temTocando(id)) {
    d.ativo = false;
    // Idle a second: what made it run dry is likely over.
    d.ocioso += n;
    if (d.ocioso > p_.taxa) d.alvo = p_.alvo;
    return;
  }
  d.ocioso = 0;
  const size_t canais = p_.canais;
  if (!d.ativo) {
    d = Dispositivo{d.alvo, d.ocioso, d.desdeASeca};
    d.ocupacaoMedia = d.alvo;
    d.ativo = true;
  }
  const double ultima = d.fase + static_cast<double>(n - 1) * d.razao;
  const auto consome = static_cast<size_t>(d.fase + static_cast<double>(n) * d.razao);
  // Past the last frame interpolated: one more, for the cubic's fourth point.
  const size_t lidos = std::max(static_cast<size_t>(ultima) + 2, consome);
  soma_.assign((lidos + 1) * canais, 0.0f);
  antes_.assign(canais, 0.0f);
  for (const auto& [_, f] : fluxos_)
    if (f.dispositivo == id && f.estado == Fluxo::tocando && !f.ultimo.empty())
      for (size_t c = 0; c < canais; ++c) antes_[c] += f.ultimo[c], soma_[c] += f.ultimo[canais + c];
  bool secou = false;
  for (auto& [_, f] : fluxos_)
    if (f.dispositivo == id && f.estado == Fluxo::tocando) secou = somarFluxo(f, lidos, consome, soma_) || secou;
  if (d.razao == 1.0 && d.fase == 0.0) {  // on the reader's clock: frame for frame
    for (size_t i = 0; i < n * canais; ++i) saida[i] += soma_[i];
  } else {
    interpolar(d, n, saida);
  }
  d.fase += static_cast<double>(n) * d.razao - static_cast<double>(consome);
  ajustarAlvo(d, secou, n);
  ajustarRazao(d, folgaDeReferencia(id), n);
}

// Ran dry: its deliveries came later than the target allows for. The
// target, once raised, stays raised while the device plays (it falls back once the device
// has been idle a second): bringing the queues down again would take the
// resampler, whose interpolation is heard under the streams.
void Mistura::ajustarAlvo(Dispositivo& d, bool secou, size_t n) {
  d.desdeASeca += n;
  if (!secou) return;
  // Once is a moment's hitch (a stream joining the graph, say): refilled at
  // the same target, the gap stays short. Twice within 10 s is a load.
  if (d.desdeASeca < 10 * p_.taxa) d.alvo = std::min<double>(p_.alvoMaximo, d.alvo * 2);
  d.desdeASeca = 0;
}

void Mistura::interpolar(const Dispositivo& d, size_t n, float* saida) const {
  const size_t canais = p_.canais;
  for (size_t j = 0; j < n; ++j) {
    const double q = d.fase + static_cast<double>(j) * d.razao;
    const auto k = static_cast<size_t>(q);
    const auto t = static_cast<float>(q - static_cast<double>(k));
    const float* p1 = &soma_[k * canais];
    const float* p0 = k == 0 ? antes_.data() : p1 - canais;
    const float* p2 = p1 + canais;
    const float* p3 = p2 + canais;
    for (size_t c = 0; c < canais; ++c)
      saida[j * canais + c] +=
          p1[c] + 0.5f * t *
                      (p2[c] - p0[c] +
                       t * (2 * p0[c] - 5 * p1[c] + 4 * p2[c] - p3[c] + t * (3 * (p1[c] - p2[c]) + p3[c] - p0[c])));
  }
}

// Adds the stream's next `lidos` frames into soma (after its first frame,
// the device's previous one) and takes `consome` of them. A stream about to
// run dry, or at its end, plays what it has fading out and waits to refill.
// True when it ran dry before its end.
bool Mistura::somarFluxo(Fluxo& f, size_t lidos, size_t consome, std::vector<float>& soma) {
  const size_t canais = p_.canais;
  const size_t tem = f.quadros(canais);
  const bool ultimoLote = tem < consome + p_.rampa;
  const size_t tocados = ultimoLote ? std::min(tem, consome) : std::min(tem, lidos);
  const size_t saida = std::min<size_t>(p_.rampa, tocados);  // frames of the fade-out
  const float* dados = f.dados.data() + f.inicio;
  if (!ultimoLote && f.entrada >= p_.rampa) {  // neither fading in nor out: a plain sum
    for (size_t i = 0; i < tocados * canais; ++i) soma[canais + i] += dados[i];
  } else {
    for (size_t k = 0; k < tocados; ++k) {
      float ganho = std::min(1.0f, static_cast<float>(f.entrada + k) / static_cast<float>(p_.rampa));
      if (ultimoLote && tocados - k <= saida)
        ganho *= static_cast<float>(tocados - k) / static_cast<float>(saida + 1);
      for (size_t c = 0; c < canais; ++c) soma[(k + 1) * canais + c] += ganho * dados[k * canais + c];
    }
  }
  if (!ultimoLote) {
    if (consome > 0) guardarUltimos(f, dados, consome);
    f.inicio += consome * canais;
    f.entrada = static_cast<uint32_t>(std::min<size_t>(p_.rampa, f.entrada + consome));
    return false;
  }
  f.ultimo.clear();
  f.dados.clear();
  f.inicio = 0;
  f.entrada = 0;
  f.estado = Fluxo::enchendo;  // a finished one is dropped by misturar
  return !f.fim;
}

// The stream's last two frames read, as they went into the sum: the
// device's points before its next read.
void Mistura::guardarUltimos(Fluxo& f, const float* dados, size_t consome) {
  const size_t canais = p_.canais;
  const auto comGanho = [&](size_t k, float* destino) {
    const float ganho = std::min(1.0f, static_cast<float>(f.entrada + k) / static_cast<float>(p_.rampa));
    for (size_t c = 0; c < canais; ++c) destino[c] = ganho * dados[k * canais + c];
  };
  if (f.ultimo.empty()) f.ultimo.assign(2 * canais, 0.0f);
  if (consome >= 2)
    comGanho(consome - 2, f.ultimo.data());
  else
    std::copy_n(f.ultimo.begin() + static_cast<ptrdiff_t>(canais), canais, f.ultimo.begin());
  comGanho(consome - 1, f.ultimo.data() + canais);
}

void Mistura::ajustarRazao(Dispositivo& d, size_t referencia, size_t n) {
  if (referencia == std::numeric_limits<size_t>::max()) return;
  const double peso = std::min(1.0, static_cast<double>(n) / (p_.taxa * kSegundosDaMedia));
  d.ocupacaoMedia += (static_cast<double>(referencia) - d.ocupacaoMedia) * peso;
  // The band widens as far as the target grew: deliveries that came late
  // once come unevenly.
  const double largura = d.alvo / p_.alvo;
  const double excesso = (d.ocupacaoMedia - d.alvo) / p_.taxa;
  const double alem = excesso > 0 ? std::max(0.0, excesso - kFolgaAcima * largura)
                                  : std::min(0.0, excesso + kFolgaAbaixo * largura);
  d.razao = 1.0 + std::clamp(kGanho * alem, -kDerivaMaxima, kDerivaMaxima);
  if (alem != 0.0) return;
  // Back within the band: glide to whole frames again, 100 ppm slower at
  // most, landing on the frame (a jump there would click).
  if (d.fase < 1e-6) {
    d.fase = 0.0;
    return;
  }
  d.razao = 1.0 - std::min(kDeslize, d.fase / static_cast<double>(n));
}

}  // namespace escuta
