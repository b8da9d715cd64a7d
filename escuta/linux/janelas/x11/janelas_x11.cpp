#include "escuta/linux/janelas/x11/janelas_x11.h"

#include <unistd.h>
#include <xcb/res.h>

#include <climits>
#include <cstring>
#include <map>

#include "escuta/linux/sem_sigpipe.h"

namespace escuta {

namespace {

// Far more than any property this reads; a window's longer one is cut.
constexpr uint32_t kPalavras = 4096;

// Atoms no client ever made are none: no window has such a property.
std::vector<xcb_atom_t> atomos(xcb_connection_t* c, std::initializer_list<const char*> nomes) {
  std::vector<xcb_intern_atom_cookie_t> pedidos;
  for (const char* n : nomes) pedidos.push_back(xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(n)), n));
  std::vector<xcb_atom_t> a;
  for (auto pedido : pedidos) {
    auto r = resposta(xcb_intern_atom_reply(c, pedido, nullptr));
    a.push_back(r ? r->atom : xcb_atom_t{XCB_ATOM_NONE});
  }
  return a;
}

xcb_get_property_cookie_t pedir(xcb_connection_t* c, xcb_window_t janela, xcb_atom_t propriedade) {
  return xcb_get_property(c, 0, janela, propriedade, XCB_GET_PROPERTY_TYPE_ANY, 0, kPalavras);
}

RespostaX11<xcb_get_property_reply_t> receber(xcb_connection_t* c, xcb_get_property_cookie_t pedido) {
  auto r = resposta(xcb_get_property_reply(c, pedido, nullptr));
  if (r && r->type == XCB_ATOM_NONE) r.reset();
  return r;
}

std::string_view bytes(const xcb_get_property_reply_t& r) {
  if (r.format != 8) return {};
  return {static_cast<const char*>(xcb_get_property_value(&r)), static_cast<size_t>(xcb_get_property_value_length(&r))};
}

std::optional<uint32_t> cardinal(const RespostaX11<xcb_get_property_reply_t>& r) {
  if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4) return std::nullopt;
  return *static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
}

std::string primeiro(std::string_view t) { return std::string(t.substr(0, t.find('\0'))); }

struct Pedidos {
  xcb_get_property_cookie_t classe, id, pid, maquina;
};

// X-Resource's pids, by client (the base of its resource ids); and what it
// says of escuta's own connection.
std::map<uint32_t, int32_t> pidsDoServidor(xcb_connection_t* c, const std::vector<xcb_window_t>& janelas,
                                           uint32_t nossaBase, VistaDoServidor& vista) {
  std::map<uint32_t, int32_t> pids;
  const xcb_query_extension_reply_t* res = xcb_get_extension_data(c, &xcb_res_id);
  if (!res || !res->present) return pids;
  auto versao = resposta(xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
  if (!versao || (versao->server_major == 1 && versao->server_minor < 2)) return pids;
  std::vector<xcb_res_client_id_spec_t> pedidos{{nossaBase, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID}};
  for (xcb_window_t j : janelas) pedidos.push_back({j, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID});
  auto r = resposta(xcb_res_query_client_ids_reply(
      c, xcb_res_query_client_ids(c, static_cast<uint32_t>(pedidos.size()), pedidos.data()), nullptr));
  if (!r) return pids;
  vista.respondeu = true;
  for (auto it = xcb_res_query_client_ids_ids_iterator(r.get()); it.rem; xcb_res_client_id_value_next(&it)) {
    if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) || xcb_res_client_id_value_value_length(it.data) < 1)
      continue;
    const uint32_t pid = *xcb_res_client_id_value_value(it.data);
    if (pid == 0 || pid > INT32_MAX) continue;
    pids[it.data->spec.client] = static_cast<int32_t>(pid);
  }
  if (const auto nosso = pids.find(nossaBase); nosso != pids.end()) vista.nossoPid = nosso->second;
  return pids;
}

std::string nomeDaMaquina() {
  char nome[HOST_NAME_MAX + 1] = {};
  if (gethostname(nome, sizeof nome - 1) != 0) return {};
  return nome;
}

}  // namespace

int32_t pidDaJanela(const PidsDaJanela& j, const VistaDoServidor& servidor, int32_t nossoPid,
                    const std::string& nossaMaquina) {
  const bool mesmoEspaco = servidor.nossoPid == nossoPid;
  // Another pid namespace (a sandbox): no pid X knows of is one here.
  if (servidor.respondeu && servidor.nossoPid && !mesmoEspaco) return 0;
  if (j.doServidor && mesmoEspaco) return *j.doServidor;
  if (j.declarado && *j.declarado > 0 && *j.declarado <= INT32_MAX && (!j.maquina || *j.maquina == nossaMaquina))
    return static_cast<int32_t>(*j.declarado);
  return 0;
}

std::vector<Janela> janelasX11(const ConexaoX11& x) {
  const SemSigpipe semSigpipe;
  xcb_connection_t* c = x.conexao();
  const std::vector<xcb_atom_t> a = atomos(c, {"_NET_CLIENT_LIST", "_GTK_APPLICATION_ID", "_NET_WM_PID"});
  const xcb_atom_t lista = a[0], gtk = a[1], netPid = a[2];
  std::vector<xcb_window_t> janelas;
  if (lista == XCB_ATOM_NONE) return {};
  if (auto r = receber(c, pedir(c, x.tela().root, lista)); r && r->format == 32) {
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(r.get()));
    janelas.assign(ids, ids + xcb_get_property_value_length(r.get()) / 4);
  }
  // Every question first, then every answer: one wait for all.
  std::vector<Pedidos> pedidos;
  for (xcb_window_t j : janelas)
    pedidos.push_back({pedir(c, j, XCB_ATOM_WM_CLASS), pedir(c, j, gtk), pedir(c, j, netPid),
                       pedir(c, j, XCB_ATOM_WM_CLIENT_MACHINE)});
  const uint32_t mascara = xcb_get_setup(c)->resource_id_mask;
  const uint32_t nossaBase = xcb_generate_id(c) & ~mascara;
  VistaDoServidor vista;
  const std::map<uint32_t, int32_t> doServidor = pidsDoServidor(c, janelas, nossaBase, vista);
  const std::string maquina = nomeDaMaquina();
  std::vector<Janela> saida;
  for (size_t k = 0; k < janelas.size(); ++k) {
    Janela j;
    const uint32_t base = janelas[k] & ~mascara;
    PidsDaJanela pids;
    if (const auto p = doServidor.find(base); p != doServidor.end()) pids.doServidor = p->second;
    if (auto classe = receber(c, pedidos[k].classe)) {
      const std::string_view t = bytes(*classe);
      // "instance\0class\0"
      if (const size_t fim = t.find('\0'); fim != std::string_view::npos) j.classe = primeiro(t.substr(fim + 1));
    }
    if (auto id = receber(c, pedidos[k].id)) j.idDeclarado = primeiro(bytes(*id));
    pids.declarado = cardinal(receber(c, pedidos[k].pid));
    if (auto m = receber(c, pedidos[k].maquina)) pids.maquina = primeiro(bytes(*m));
    j.pid = pidDaJanela(pids, vista, getpid(), maquina);
    j.cliente = "x11:" + std::to_string(base);
    saida.push_back(std::move(j));
  }
  return saida;
}

}  // namespace escuta
