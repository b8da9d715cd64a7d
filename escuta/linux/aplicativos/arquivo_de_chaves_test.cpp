#include "escuta/linux/aplicativos/arquivo_de_chaves.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "escuta/linux/aplicativos/nomes.h"

namespace escuta {
namespace {

TEST(ArquivoDeChaves, OValorDoGrupo) {
  const std::string entrada =
      "# a comment\n[Desktop Action nova]\nName=Nova janela\n\n[Desktop Entry]\r\nType=Application\r\n"
      "Name[pt_BR]=Navegador\r\nName = Rádio\\sda Casa \r\nName=Outro\r\n[Outro]\nName=Não\n";
  EXPECT_EQ(valorDoArquivoDeChaves(entrada, "Desktop Entry", "Name"), "Rádio da Casa");
  EXPECT_EQ(valorDoArquivoDeChaves(entrada, "Desktop Entry", "Type"), "Application");
  EXPECT_EQ(valorDoArquivoDeChaves(entrada, "Desktop Entry", "Exec"), "");
  EXPECT_EQ(valorDoArquivoDeChaves("[Application]\nname=org.exemplo.App\nruntime=x\n", "Application", "name"),
            "org.exemplo.App");
  EXPECT_EQ(valorDoArquivoDeChaves("name=fora de grupo\n[Application", "Application", "name"), "");
  EXPECT_EQ(valorDoArquivoDeChaves("[Application]\nname=a\\\\b\\n\\", "Application", "name"), "a\\b\n\\");
}

TEST(Nomes, AEntradaDaPrimeiraPastaQueATem) {
  const auto raiz = std::filesystem::temp_directory_path() / ("nomes-" + std::to_string(getpid()));
  const auto pessoal = raiz / "pessoal", sistema = raiz / "sistema";
  std::filesystem::create_directories(pessoal);
  std::filesystem::create_directories(sistema);
  std::ofstream(pessoal / "org.exemplo.Radio.desktop") << "[Desktop Entry]\nName=Minha Rádio\n";
  std::ofstream(sistema / "org.exemplo.Radio.desktop") << "[Desktop Entry]\nName=Rádio\n";
  std::ofstream(sistema / "mpv.desktop") << "[Desktop Entry]\nName=mpv Media Player\n";
  std::ofstream(raiz / "segredo.desktop") << "[Desktop Entry]\nName=Segredo\n";
  const Nomes nomes({pessoal.string(), sistema.string()});
  EXPECT_EQ(nomes.de("org.exemplo.Radio"), "Minha Rádio");
  EXPECT_EQ(nomes.de("mpv"), "mpv Media Player");
  EXPECT_EQ(nomes.de("ninguem"), "");
  EXPECT_EQ(nomes.de("../segredo"), "");  // an id from another program is never a path
  EXPECT_EQ(nomes.de(""), "");
  std::filesystem::remove_all(raiz);
}

}  // namespace
}  // namespace escuta
