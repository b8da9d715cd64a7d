#include "escuta/linux/aplicativos/reuniao.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "escuta/linux/unidades/unidades.h"

namespace escuta {
namespace {

// A scripted /proc.
class ArvoreFalsa : public Arvore {
 public:
  struct Processo {
    int32_t pai;
    std::string binario;
    std::string unidade = "";
    uint64_t inicio = 0;
    int64_t usuario = 1000;
  };
  std::map<int32_t, Processo> processos;

  std::vector<int32_t> todos() override {
    std::vector<int32_t> pids;
    for (const auto& [pid, _] : processos) pids.push_back(pid);
    return pids;
  }
  int32_t pai(int32_t pid) override { return achar(pid).pai; }
  uint64_t inicio(int32_t pid) override { return achar(pid).inicio; }
  std::string unidade(int32_t pid) override { return achar(pid).unidade; }
  std::string binario(int32_t pid) override { return achar(pid).binario; }
  std::string comando(int32_t pid) override { return achar(pid).binario.substr(0, 15); }
  std::vector<std::string> argumentos(int32_t pid) override { return {achar(pid).binario}; }
  int64_t usuario(int32_t pid) override { return processos.count(pid) ? processos[pid].usuario : -1; }
  std::string flatpak(int32_t pid) override { return achar(pid).unidade.find("flatpak") != std::string::npos ? "org.flatpak" : ""; }
  bool executa(int32_t pid, const std::string& binario) override {
    return processos.count(pid) && processos[pid].binario == binario;
  }

 private:
  Processo achar(int32_t pid) {
    const auto it = processos.find(pid);
    return it == processos.end() ? Processo{0, ""} : it->second;
  }
};

using Linha = std::tuple<std::string, std::string, int32_t>;

std::vector<Linha> linhas(const Reuniao& r) {
  std::vector<Linha> l;
  for (const Aplicativo& a : r.aplicativos()) l.emplace_back(a.id, a.nome, a.pid);
  return l;
}

Janela janela(int32_t pid, const std::string& classe, const std::string& id = "", const std::string& cliente = "") {
  return {pid, classe, id, cliente};
}

ClienteDeSom som(int32_t pid, const std::string& binario, const std::string& nome = "", const std::string& id = "") {
  return {pid, id, "", binario, nome};
}

class Reunir : public testing::Test {
 protected:
  void SetUp() override {
    pasta_ = std::filesystem::temp_directory_path() / ("reuniao-" + std::to_string(getpid()));
    std::filesystem::create_directories(pasta_);
    for (auto [id, nome] : {std::pair{"mpv", "mpv Media Player"}, {"chromium", "Chromium"},
                            {"gtk3-widget-factory", "Widget Factory"}, {"org.exemplo.Radio", "Rádio Exemplo"}})
      std::ofstream(pasta_ / (std::string(id) + ".desktop")) << "[Desktop Entry]\nName=" << nome << "\n";
  }
  void TearDown() override { std::filesystem::remove_all(pasta_); }
  Nomes nomes() const { return Nomes({pasta_.string()}); }
  std::string idDe(const Reuniao& r, const ClienteDeSom& c) { return r.idDoAplicativoDe(c, arvore_); }

  std::filesystem::path pasta_;
  ArvoreFalsa arvore_;
};

// An X11 desktop: a window manager's session, programs started from it and
// from a terminal, a browser that plays from a helper, players without windows.
TEST_F(Reunir, AreaDeTrabalhoX11) {
  arvore_.processos = {
      {1, {0, "init"}},        {5, {1, "openbox"}},   {10, {5, "xterm"}},  {11, {5, "xeyes"}},
      {12, {5, "mpv"}},        {13, {5, "gtk3-widget-factory"}},           {20, {5, "chromium"}},
      {21, {20, "chromium"}},  {30, {5, "paplay"}},   {40, {5, "ffplay"}}, {50, {10, "xclock"}},
      {52, {10, "mpv"}},
  };
  const std::vector<Janela> janelas = {
      janela(10, "XTerm"),   janela(11, "XEyes"),    janela(12, "mpv"),
      janela(0, "Remoto", "", "x11:777"),  // two windows of a client whose process nothing names
      janela(13, "Gtk3-widget-factory", "org.gtk.WidgetFactory"),
      janela(20, "Chromium"), janela(20, "Chromium"), janela(0, "Remoto", "", "x11:777"), janela(50, "XClock"),
  };
  const std::vector<ClienteDeSom> clientes = {
      som(12, "mpv", "mpv Media Player", "io.mpv.Mpv"),  // its stream's id is not the one listed
      som(21, "chromium", "Chromium input"),             // the browser plays from a helper
      som(30, "paplay", "Rádio"),
      som(40, "ffplay"),
      som(40, "ffplay", "SDL Application"),              // the same program's second connection
      som(2, "firefox", "Firefox"),                      // a sandbox's pid: no such process here
      som(52, "mpv"),                                    // a player without a window, from the terminal
  };
  const Reuniao r(janelas, {}, clientes, arvore_, nomes());
  EXPECT_EQ(linhas(r), (std::vector<Linha>{{"xterm", "XTerm", 10},
                                           {"xeyes", "XEyes", 11},
                                           {"mpv", "mpv Media Player", 12},
                                           {"org.gtk.WidgetFactory", "Widget Factory", 13},
                                           {"chromium", "Chromium", 20},
                                           {"xclock", "XClock", 50},
                                           {"remoto", "Remoto", 0},
                                           {"paplay", "Rádio", 30},
                                           {"ffplay", "SDL Application", 40},
                                           {"firefox", "Firefox", 0}}));
  // The exclusion asks the same rule, for these clients and for processes started since.
  arvore_.processos[60] = {21, "chromium"};
  arvore_.processos[61] = {10, "paplay"};
  arvore_.processos[70] = {5, "paplay"};
  const std::pair<ClienteDeSom, std::string> casos[] = {
      {som(12, "mpv", "", "io.mpv.Mpv"), "mpv"}, {som(21, "chromium"), "chromium"}, {som(60, "chromium"), "chromium"},
      {som(52, "mpv"), "xterm"},                 {som(61, "paplay"), "xterm"},      {som(70, "paplay"), "paplay"},
      {som(2, "firefox"), "firefox"},            {som(40, "ffplay"), "ffplay"},     {som(99, "x", "", "org.x"), "org.x"},
  };
  for (const auto& [cliente, id] : casos) EXPECT_EQ(idDe(r, cliente), id) << cliente.pid;
}

// Desktops that launch applications in systemd app units (GNOME, KDE).
TEST_F(Reunir, UnidadesDeAplicativos) {
  const std::string radio = "app-gnome-org.exemplo.Radio-110.scope", tocador = "app-org.kde.Tocador@abc.service",
                    foot = "app-gnome-foot-130.scope", firefox = "app-flatpak-org.mozilla.firefox-140.scope",
                    outro = "app-gnome-org.outro-160.scope";
  arvore_.processos = {
      {1, {0, "systemd"}},         {100, {1, "gnome-shell"}},
      {110, {100, "sh", radio, 500}},       {111, {110, "paplay", radio, 501}},
      {120, {1, "mpv", tocador, 600}},
      {130, {100, "foot", foot, 700}},      {131, {130, "bash", foot, 701}},
      {132, {131, "xeyes", foot, 702}},     {133, {131, "paplay", foot, 703}},
      {140, {100, "firefox", firefox, 800}}, {141, {140, "firefox", firefox, 801}},
      {160, {130, "paplay", outro, 900}},
      {170, {1, "paplay", "app-gnome-org.alheio-170.scope", 950, 1001}},  // another user's desktop
  };
  const std::vector<Janela> janelas = {janela(130, "foot", "foot"), janela(132, "XEyes"),
                                       janela(0, "firefox", "org.mozilla.firefox")};
  const std::vector<ClienteDeSom> clientes = {som(111, "paplay", "paplay"), som(120, "mpv", "mpv", "io.mpv.Mpv"),
                                              som(133, "paplay"), som(141, "firefox", "Firefox"), som(160, "paplay", "paplay")};
  const Reuniao r(janelas, membrosDeUnidades(arvore_, 1000), clientes, arvore_, nomes());
  EXPECT_EQ(linhas(r), (std::vector<Linha>{{"foot", "foot", 130},
                                           {"xeyes", "XEyes", 132},  // started from the terminal: its own
                                           {"org.mozilla.firefox", "firefox", 140},
                                           {"org.exemplo.Radio", "Rádio Exemplo", 110},
                                           {"org.kde.Tocador", "mpv", 120},
                                           {"org.outro", "paplay", 160}}));
  arvore_.processos[112] = {110, "paplay", radio};
  arvore_.processos[150] = {100, "paplay", "app-gnome-org.novo.App-150.scope"};
  const std::pair<ClienteDeSom, std::string> casos[] = {
      {som(111, "paplay"), "org.exemplo.Radio"}, {som(112, "paplay"), "org.exemplo.Radio"},
      {som(120, "mpv", "", "io.mpv.Mpv"), "org.kde.Tocador"}, {som(133, "paplay"), "foot"},
      {som(141, "firefox"), "org.mozilla.firefox"}, {som(150, "paplay"), "org.novo.App"}, {som(160, "paplay"), "org.outro"},
  };
  for (const auto& [cliente, id] : casos) EXPECT_EQ(idDe(r, cliente), id) << cliente.pid;
}

// Today's rule for a program known only by its sound: application.id, else
// the Flatpak id, else the binary.
TEST_F(Reunir, SoPeloSom) {
  arvore_.processos = {{1, {0, "init"}}, {7, {1, "pw-play"}}, {8, {1, "app"}}};
  ClienteDeSom flatpak = som(0, "app");
  flatpak.flatpak = "org.flatpak.App";
  const Reuniao r({}, {}, {som(7, "pw-play", "Rádio", "org.radio"), flatpak, som(8, "app"), som(0, "")}, arvore_, nomes());
  EXPECT_EQ(linhas(r), (std::vector<Linha>{{"org.radio", "Rádio", 7}, {"org.flatpak.App", "", 0}, {"app", "", 8}, {"", "", 0}}));
}

// Seen from inside a sandbox's pid namespace, the programs outside report
// pids that are no process here (or another one): listed without them, one
// entry a program all the same, SDL's two connections one.
TEST_F(Reunir, DeDentroDeUmaCaixaDeAreia) {
  arvore_.processos = {{1, {0, "bwrap"}}, {2, {1, "escuta"}}};
  const Reuniao r({}, {}, {som(2, "ffplay", "SDL Application"), som(2, "ffplay"), som(2, "firefox", "Firefox"),
                           som(900, "mpv", "mpv", "io.mpv.Mpv")}, arvore_, nomes());
  EXPECT_EQ(linhas(r), (std::vector<Linha>{{"ffplay", "SDL Application", 0}, {"firefox", "Firefox", 0},
                                          {"io.mpv.Mpv", "mpv Media Player", 0}}));
  EXPECT_EQ(idDe(r, som(2, "ffplay")), "ffplay");
}

}  // namespace
}  // namespace escuta
