#include "escuta/linux/janelas/wayland/janelas_wayland.h"

#include <gtest/gtest.h>

#include <tuple>

namespace escuta {
namespace {

// What sway 1.7 answers to GET_TREE, cut to what is read.
constexpr const char* kArvore = R"({"id":1,"type":"root","nodes":[
  {"type":"output","name":"HEADLESS-1","nodes":[
    {"type":"workspace","name":"1","nodes":[
      {"type":"con","pid":301,"app_id":"foot","name":"~","shell":"xdg_shell","nodes":[]},
      {"type":"con","pid":302,"app_id":null,"name":"xeyes","shell":"xwayland",
       "window_properties":{"class":"XEyes","instance":"xeyes"},"nodes":[]},
      {"type":"con","pid":303,"app_id":"foot","name":"htop","shell":"xdg_shell","nodes":[]}],
     "floating_nodes":[{"type":"floating_con","pid":304,"app_id":"mpv","name":"tom.wav - mpv","nodes":[]}]}]}]})";

auto campos(const Janela& j) { return std::make_tuple(j.pid, j.classe, j.idDeclarado); }

TEST(JanelasWayland, AsVistasDoSway) {
  const std::vector<VistaDoSway> v = vistasDaArvore(kArvore);
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(std::make_tuple(v[0].pid, v[0].appId, v[0].titulo, v[0].xwayland), std::make_tuple(301, "foot", "~", false));
  EXPECT_EQ(std::make_tuple(v[1].pid, v[1].classe, v[1].xwayland), std::make_tuple(302, "XEyes", true));
  EXPECT_EQ(v[3].pid, 304);  // floating, after the tiled ones
  EXPECT_TRUE(vistasDaArvore("{\"nodes\":[{\"pid\":").empty());
  EXPECT_TRUE(vistasDaArvore("[1, {\"pid\": -4}, {\"pid\": \"7\"}, {\"pid\": 99999999999}]").empty());
}

TEST(JanelasWayland, CadaJanelaComOProcessoDaSuaVista) {
  // Two foot windows of two processes, told apart by title; an XWayland view
  // (the compositor names it by its class); one sway does not show.
  const std::vector<JanelaDoCompositor> janelas = {
      {"foot", "htop"}, {"XEyes", "xeyes"}, {"foot", "~"}, {"mpv", "outro título"}, {"org.outro", "x"}};
  const std::vector<Janela> j = comProcessos(janelas, vistasDaArvore(kArvore));
  ASSERT_EQ(j.size(), 5u);
  EXPECT_EQ(campos(j[0]), std::make_tuple(303, "foot", "foot"));
  EXPECT_EQ(campos(j[1]), std::make_tuple(302, "XEyes", ""));
  EXPECT_EQ(campos(j[2]), std::make_tuple(301, "foot", "foot"));
  EXPECT_EQ(campos(j[3]), std::make_tuple(304, "mpv", "mpv"));  // its title changed meanwhile
  EXPECT_EQ(campos(j[4]), std::make_tuple(0, "org.outro", "org.outro"));
}

}  // namespace
}  // namespace escuta
