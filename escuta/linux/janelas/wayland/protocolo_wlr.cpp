#include "escuta/linux/janelas/wayland/protocolo_wlr.h"

namespace escuta {

namespace {

// Each message's argument types: the interface of an object or new_id
// argument, nothing for the others.
const wl_interface* kNenhum[] = {nullptr, nullptr, nullptr, nullptr};
const wl_interface* kJanela[] = {&zwlr_foreign_toplevel_handle_v1_interface};
const wl_interface* kAssento[] = {&wl_seat_interface};
const wl_interface* kSaida[] = {&wl_output_interface};
const wl_interface* kRetangulo[] = {&wl_surface_interface, nullptr, nullptr, nullptr, nullptr};

const wl_message kPedidosDoGerente[] = {
    {"stop", "", kNenhum},
};
const wl_message kEventosDoGerente[] = {
    {"toplevel", "n", kJanela},
    {"finished", "", kNenhum},
};
const wl_message kPedidosDaJanela[] = {
    {"set_maximized", "", kNenhum},   {"unset_maximized", "", kNenhum},   {"set_minimized", "", kNenhum},
    {"unset_minimized", "", kNenhum}, {"activate", "o", kAssento},        {"close", "", kNenhum},
    {"set_rectangle", "oiiii", kRetangulo}, {"destroy", "", kNenhum},     {"set_fullscreen", "2?o", kSaida},
    {"unset_fullscreen", "2", kNenhum},
};
const wl_message kEventosDaJanela[] = {
    {"title", "s", kNenhum},      {"app_id", "s", kNenhum},       {"output_enter", "o", kSaida},
    {"output_leave", "o", kSaida}, {"state", "a", kNenhum},       {"done", "", kNenhum},
    {"closed", "", kNenhum},      {"parent", "3?o", kJanela},
};

}  // namespace

const wl_interface zwlr_foreign_toplevel_manager_v1_interface = {
    "zwlr_foreign_toplevel_manager_v1", 3, 1, kPedidosDoGerente, 2, kEventosDoGerente};
const wl_interface zwlr_foreign_toplevel_handle_v1_interface = {
    "zwlr_foreign_toplevel_handle_v1", 3, 10, kPedidosDaJanela, 8, kEventosDaJanela};

}  // namespace escuta
