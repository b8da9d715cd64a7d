#include "escuta/linux/janelas/wayland/janelas_wayland.h"

#include <algorithm>
#include <cstring>
#include <list>

#include "escuta/linux/janelas/wayland/protocolo_wlr.h"
#include "escuta/linux/sessao/conexao_wayland.h"

namespace escuta {

namespace {

struct Toplevel {
  wl_proxy* proxy;
  JanelaDoCompositor janela;
  bool fechada = false;
};

struct Lista {
  wl_proxy* gerente = nullptr;
  std::list<Toplevel> janelas;
};

Toplevel& daJanela(void* dados) { return *static_cast<Toplevel*>(dados); }

const OuvinteDaJanelaWlr kOuvinteDaJanela = {
    [](void* d, wl_proxy*, const char* titulo) { daJanela(d).janela.titulo = titulo ? titulo : ""; },
    [](void* d, wl_proxy*, const char* id) { daJanela(d).janela.appId = id ? id : ""; },
    [](void*, wl_proxy*, wl_proxy*) {},
    [](void*, wl_proxy*, wl_proxy*) {},
    [](void*, wl_proxy*, wl_array*) {},
    [](void*, wl_proxy*) {},
    [](void* d, wl_proxy*) { daJanela(d).fechada = true; },
    [](void*, wl_proxy*, wl_proxy*) {},
};

const OuvinteDoGerenteWlr kOuvinteDoGerente = {
    [](void* d, wl_proxy*, wl_proxy* janela) {
      Toplevel& t = static_cast<Lista*>(d)->janelas.emplace_back(Toplevel{janela, {}});
      wl_proxy_add_listener(janela, reinterpret_cast<void (**)(void)>(const_cast<OuvinteDaJanelaWlr*>(&kOuvinteDaJanela)),
                            &t);
    },
    [](void*, wl_proxy*) {},
};

void anunciado(void* dados, wl_registry* registro, uint32_t nome, const char* interface, uint32_t versao) {
  auto* l = static_cast<Lista*>(dados);
  if (l->gerente || std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0) return;
  l->gerente = static_cast<wl_proxy*>(
      wl_registry_bind(registro, nome, &zwlr_foreign_toplevel_manager_v1_interface, std::min(versao, 3u)));
  wl_proxy_add_listener(l->gerente, reinterpret_cast<void (**)(void)>(const_cast<OuvinteDoGerenteWlr*>(&kOuvinteDoGerente)),
                        l);
}

const wl_registry_listener kOuvinteDoRegistro = {&anunciado, [](void*, wl_registry*, uint32_t) {}};

std::vector<JanelaDoCompositor> doCompositor(wl_display* exibicao) {
  Lista l;
  wl_registry* registro = wl_display_get_registry(exibicao);
  wl_registry_add_listener(registro, &kOuvinteDoRegistro, &l);
  // The globals; then the toplevels; then each one's title and app_id.
  const bool respondeu = idaEVolta(exibicao) && l.gerente && idaEVolta(exibicao) && idaEVolta(exibicao);
  std::vector<JanelaDoCompositor> janelas;
  for (Toplevel& t : l.janelas) {
    if (respondeu && !t.fechada) janelas.push_back(t.janela);
    wl_proxy_marshal_flags(t.proxy, kDestruirJanelaWlr, nullptr, wl_proxy_get_version(t.proxy), WL_MARSHAL_FLAG_DESTROY);
  }
  if (l.gerente) {
    wl_proxy_marshal_flags(l.gerente, kPararGerenteWlr, nullptr, wl_proxy_get_version(l.gerente), 0);
    wl_proxy_destroy(l.gerente);
  }
  wl_registry_destroy(registro);
  return janelas;
}

}  // namespace

std::vector<Janela> comProcessos(const std::vector<JanelaDoCompositor>& janelas, const std::vector<VistaDoSway>& vistas) {
  std::vector<bool> tomada(vistas.size(), false);
  const auto chave = [](const VistaDoSway& v) { return v.appId.empty() ? v.classe : v.appId; };
  const auto achar = [&](const JanelaDoCompositor& j, bool peloTitulo) -> const VistaDoSway* {
    for (size_t k = 0; k < vistas.size(); ++k)
      if (!tomada[k] && chave(vistas[k]) == j.appId && (!peloTitulo || vistas[k].titulo == j.titulo)) {
        tomada[k] = true;
        return &vistas[k];
      }
    return nullptr;
  };
  std::vector<Janela> saida;
  for (const JanelaDoCompositor& j : janelas) {
    const VistaDoSway* v = achar(j, true);
    if (!v) v = achar(j, false);
    Janela janela;
    janela.classe = j.appId;
    janela.idDeclarado = j.appId;
    if (v) {
      janela.pid = v->pid;
      if (v->xwayland) janela.idDeclarado.clear();
    }
    saida.push_back(std::move(janela));
  }
  return saida;
}

std::vector<Janela> janelasWayland(wl_display* exibicao) {
  const std::vector<JanelaDoCompositor> janelas = doCompositor(exibicao);
  if (janelas.empty()) return {};
  return comProcessos(janelas, vistasDoSway());
}

}  // namespace escuta
