#include "escuta/linux/unidades/unidades.h"

#include <gtest/gtest.h>

namespace escuta {
namespace {

TEST(Unidades, ODesktopIdDoNome) {
  const std::pair<const char*, const char*> casos[] = {
      {"app-gnome-org.gnome.Nautilus-4211.scope", "org.gnome.Nautilus"},
      {"app-gnome-org.gnome.Evolution\\x2dalarm\\x2dnotify-2437.scope", "org.gnome.Evolution-alarm-notify"},
      {"app-gnome-firefox\\x2desr-9001.scope", "firefox-esr"},
      {"app-org.kde.dolphin-0a1b2c3d4e5f60718293a4b5c6d7e8f9.scope", "org.kde.dolphin"},
      {"app-KDE-org.kde.okular@12345.service", "org.kde.okular"},
      {"app-org.kde.amarok.service", "org.kde.amarok"},
      {"app-flatpak-org.mozilla.firefox-7788.scope", "org.mozilla.firefox"},
      {"app-gnome-org.gnome.Calendar-autostart.service", "org.gnome.Calendar"},
      {"app-firefox-1234.scope", "firefox"},
      {"app.slice", ""},
      {"app-gnome-session-manager.slice", ""},
      {"vte-spawn-9c0d.scope", ""},
      {"session-2.scope", ""},
      {"app-x-1.2.scope", ""},  // the random part is a plain word
      {"app-.scope", ""},
  };
  for (const auto& [unidade, id] : casos) EXPECT_EQ(idDaUnidade(unidade), id) << unidade;
}

TEST(Unidades, AUnidadeDoProcesso) {
  const std::pair<const char*, const char*> casos[] = {
      {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-org.gnome.Nautilus-4211.scope\n",
       "app-gnome-org.gnome.Nautilus-4211.scope"},
      // cgroup v1 lines beside the v2 one, which alone counts
      {"12:pids:/user.slice/app-gnome-x-1.scope\n0::/user.slice/user@1000.service/app.slice/app-KDE-org.kde.okular@1.service\n",
       "app-KDE-org.kde.okular@1.service"},
      {"0::/escuta-teste/app-flatpak-org.exemplo.App-77.scope/sub\n", "app-flatpak-org.exemplo.App-77.scope"},
      {"0::/user.slice/user-1000.slice/session-2.scope\n", ""},
      {"0::/\n", ""},
      {"", ""},
  };
  for (const auto& [cgroup, unidade] : casos) EXPECT_EQ(unidadeDoCgroup(cgroup), unidade) << cgroup;
}

}  // namespace
}  // namespace escuta
