#include <xcb/randr.h>

#include "escuta/linux/sem_sigpipe.h"
#include "escuta/linux/telas/telas.h"

namespace escuta {

namespace {

std::vector<Tela> saidasConectadas(xcb_connection_t* c, xcb_window_t raiz) {
  std::vector<Tela> telas;
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
  if (!randr || !randr->present) return telas;
  // Current resources need RandR 1.3.
  auto versao = resposta(xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 3), nullptr));
  if (!versao || (versao->major_version == 1 && versao->minor_version < 3)) return telas;
  auto recursos = resposta(xcb_randr_get_screen_resources_current_reply(
      c, xcb_randr_get_screen_resources_current(c, raiz), nullptr));
  if (!recursos) return telas;
  const xcb_randr_output_t* saidas = xcb_randr_get_screen_resources_current_outputs(recursos.get());
  const int n = xcb_randr_get_screen_resources_current_outputs_length(recursos.get());
  std::vector<xcb_randr_get_output_info_cookie_t> pedidos;
  for (int k = 0; k < n; ++k) pedidos.push_back(xcb_randr_get_output_info(c, saidas[k], recursos->config_timestamp));
  for (int k = 0; k < n; ++k) {
    auto saida = resposta(xcb_randr_get_output_info_reply(c, pedidos[k], nullptr));
    if (!saida || saida->connection != XCB_RANDR_CONNECTION_CONNECTED || !saida->crtc) continue;
    auto crtc = resposta(xcb_randr_get_crtc_info_reply(
        c, xcb_randr_get_crtc_info(c, saida->crtc, recursos->config_timestamp), nullptr));
    if (crtc) telas.push_back({saidas[k], crtc->width, crtc->height});
  }
  return telas;
}

}  // namespace

std::vector<Tela> telasX11(const ConexaoX11& x) {
  const SemSigpipe semSigpipe;  // the server may go away meanwhile
  std::vector<Tela> telas = saidasConectadas(x.conexao(), x.tela().root);
  // A server without RandR outputs still has its screen.
  if (telas.empty()) telas.push_back({x.tela().root, x.tela().width_in_pixels, x.tela().height_in_pixels});
  return telas;
}

}  // namespace escuta
