#include "escuta/linux/telas/telas.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace escuta {
namespace {

void conector(const std::filesystem::path& raiz, const std::string& nome, const std::string& estado,
              const std::string& modos) {
  std::filesystem::create_directories(raiz / nome);
  std::ofstream(raiz / nome / "status") << estado << "\n";
  std::ofstream(raiz / nome / "modes") << modos;
}

TEST(TelasDrm, SoConectadosComModo) {
  const std::filesystem::path raiz = std::filesystem::temp_directory_path() / "escuta-drm-teste";
  std::filesystem::remove_all(raiz);
  conector(raiz, "card0-HDMI-A-1", "connected", "2560x1440\n1920x1080\n");
  conector(raiz, "card0-DP-1", "disconnected", "");
  conector(raiz, "card0-eDP-1", "connected", "1920x1200\n");
  conector(raiz, "card1-VGA-1", "connected", "");  // connected but no mode: nothing to size it by
  std::filesystem::create_directories(raiz / "card0");
  const std::vector<Tela> telas = telasDrm(raiz.string());
  ASSERT_EQ(telas.size(), 2u);
  EXPECT_EQ(telas[0].largura, 2560);  // sorted by name: HDMI before eDP
  EXPECT_EQ(telas[0].altura, 1440);
  EXPECT_EQ(telas[1].largura, 1920);
  EXPECT_NE(telas[0].id, telas[1].id);
  EXPECT_EQ(telasDrm(raiz.string())[0].id, telas[0].id);  // the same id on every run
  EXPECT_TRUE(telasDrm((raiz / "nada").string()).empty());
  std::filesystem::remove_all(raiz);
}

}  // namespace
}  // namespace escuta
