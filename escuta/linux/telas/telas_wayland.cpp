#include <algorithm>
#include <cstring>
#include <list>
#include <string>

#include "escuta/linux/sessao/conexao_wayland.h"
#include "escuta/linux/telas/telas.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace escuta {

namespace {

// One output as the compositor describes it.
struct Saida {
  wl_output* saida = nullptr;
  zxdg_output_v1* logica = nullptr;
  std::string nome;
  int32_t larguraDoModo = 0, alturaDoModo = 0, escala = 1, giro = WL_OUTPUT_TRANSFORM_NORMAL;
  int32_t largura = 0, altura = 0;  // logical, from xdg-output
};

struct Registro {
  std::list<Saida> saidas;
  zxdg_output_manager_v1* gerente = nullptr;
};

void nomear(Saida& s, const char* nome) {
  if (nome && s.nome.empty()) s.nome = nome;
}

const wl_output_listener kOuvinteDaSaida = {
    [](void* d, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t giro) {
      static_cast<Saida*>(d)->giro = giro;
    },
    [](void* d, wl_output*, uint32_t flags, int32_t largura, int32_t altura, int32_t) {
      if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
      static_cast<Saida*>(d)->larguraDoModo = largura;
      static_cast<Saida*>(d)->alturaDoModo = altura;
    },
    [](void*, wl_output*) {},
    [](void* d, wl_output*, int32_t escala) { static_cast<Saida*>(d)->escala = std::max(1, escala); },
    [](void* d, wl_output*, const char* nome) { nomear(*static_cast<Saida*>(d), nome); },
    [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kOuvinteLogico = {
    [](void*, zxdg_output_v1*, int32_t, int32_t) {},
    [](void* d, zxdg_output_v1*, int32_t largura, int32_t altura) {
      static_cast<Saida*>(d)->largura = largura;
      static_cast<Saida*>(d)->altura = altura;
    },
    [](void*, zxdg_output_v1*) {},
    [](void* d, zxdg_output_v1*, const char* nome) { nomear(*static_cast<Saida*>(d), nome); },
    [](void*, zxdg_output_v1*, const char*) {},
};

void anunciado(void* dados, wl_registry* registro, uint32_t nome, const char* interface, uint32_t versao) {
  auto* r = static_cast<Registro*>(dados);
  if (std::strcmp(interface, wl_output_interface.name) == 0) {
    Saida& s = r->saidas.emplace_back();
    s.saida = static_cast<wl_output*>(wl_registry_bind(registro, nome, &wl_output_interface, std::min(versao, 4u)));
    wl_output_add_listener(s.saida, &kOuvinteDaSaida, &s);
  } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
    r->gerente = static_cast<zxdg_output_manager_v1*>(
        wl_registry_bind(registro, nome, &zxdg_output_manager_v1_interface, std::min(versao, 3u)));
  }
}

const wl_registry_listener kOuvinteDoRegistro = {&anunciado, [](void*, wl_registry*, uint32_t) {}};

// The size the session shows: xdg-output's logical size; else the mode,
// scaled and, turned a quarter, swapped.
Tela comoTela(const Saida& s) {
  int64_t largura = s.largura, altura = s.altura;
  if (largura <= 0 || altura <= 0) {
    largura = s.larguraDoModo / s.escala;
    altura = s.alturaDoModo / s.escala;
    if (s.giro % 2) std::swap(largura, altura);
  }
  return {idDoNome(s.nome), largura, altura};
}

}  // namespace

std::vector<Tela> telasWayland(wl_display* exibicao) {
  Registro r;
  wl_registry* registro = wl_display_get_registry(exibicao);
  wl_registry_add_listener(registro, &kOuvinteDoRegistro, &r);
  bool respondeu = idaEVolta(exibicao);
  if (respondeu && r.gerente) {
    for (Saida& s : r.saidas) {
      s.logica = zxdg_output_manager_v1_get_xdg_output(r.gerente, s.saida);
      zxdg_output_v1_add_listener(s.logica, &kOuvinteLogico, &s);
    }
  }
  // The outputs' own events, then xdg-output's.
  respondeu = respondeu && idaEVolta(exibicao);
  std::vector<Tela> telas;
  for (Saida& s : r.saidas) {
    if (respondeu) telas.push_back(comoTela(s));
    if (s.logica) zxdg_output_v1_destroy(s.logica);
    if (wl_output_get_version(s.saida) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
      wl_output_release(s.saida);
    else
      wl_output_destroy(s.saida);
  }
  if (r.gerente) zxdg_output_manager_v1_destroy(r.gerente);
  wl_registry_destroy(registro);
  return telas;
}

}  // namespace escuta
