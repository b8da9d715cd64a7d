#include "escuta/linux/processos.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace escuta {
namespace {

// A /proc of three processes: one whose executable can be read, one whose
// executable was replaced on disk, one (another user's) with only its name.
class ProcFalso : public testing::Test {
 protected:
  void SetUp() override {
    raiz_ = std::filesystem::temp_directory_path() / ("proc-" + std::to_string(getpid()));
    processo(100, "/usr/bin/paplay", "pacat");
    processo(200, "/usr/lib/firefox-esr/firefox-esr (deleted)", "firefox-esr");
    processo(300, "", "gst-launch-1.0");
    processo(400, "", "um-programa-de-");
  }
  void TearDown() override { std::filesystem::remove_all(raiz_); }
  void processo(int pid, const std::string& exe, const std::string& comm) {
    const auto pasta = raiz_ / std::to_string(pid);
    std::filesystem::create_directories(pasta);
    if (!exe.empty()) std::filesystem::create_symlink(exe, pasta / "exe");
    std::ofstream(pasta / "comm") << comm << "\n";
  }
  bool executa(int32_t pid, const std::string& binario) { return executaOBinario(pid, binario, raiz_.string()); }
  std::filesystem::path raiz_;
};

TEST_F(ProcFalso, ConfereOBinarioQueOProcessoRoda) {
  EXPECT_TRUE(executa(100, "paplay"));
  EXPECT_FALSE(executa(100, "pacat"));  // the command name does not count where the executable is known
  EXPECT_TRUE(executa(200, "firefox-esr"));
  EXPECT_TRUE(executa(300, "gst-launch-1.0"));
  EXPECT_TRUE(executa(400, "um-programa-de-nome-longo"));  // the kernel keeps 15 bytes of it
  EXPECT_FALSE(executa(300, "gst"));
  EXPECT_FALSE(executa(2, "firefox"));  // a sandbox's own pid: no such process here
  EXPECT_FALSE(executa(0, "paplay"));
  EXPECT_FALSE(executa(-1, "paplay"));
  EXPECT_FALSE(executa(100, ""));
}

TEST(ProcessoExiste, AteSerRecolhido) {
  const pid_t filho = fork();
  if (filho == 0) _exit(0);
  ASSERT_GT(filho, 0);
  int estado = 0;
  ASSERT_EQ(waitpid(filho, &estado, 0), filho);
  EXPECT_FALSE(processoExiste(filho));
  EXPECT_TRUE(processoExiste(getpid()));
  EXPECT_TRUE(processoExiste(1));  // always there, whoever owns it
  EXPECT_FALSE(processoExiste(0));
}

// A server in this pid namespace; none at all. The sandboxed case (pid 0
// from the kernel) is run end to end (tests/caixa_de_areia.py).
TEST(PidsSaoDaqui, ServidorDaquiENenhum) {
  const std::string caminho = std::filesystem::temp_directory_path() / ("soquete-" + std::to_string(getpid()));
  const int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un endereco{};
  endereco.sun_family = AF_UNIX;
  caminho.copy(endereco.sun_path, caminho.size());
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco), 0);
  ASSERT_EQ(listen(s, 1), 0);
  EXPECT_EQ(pidsSaoDaqui(caminho), true);
  close(s);
  std::filesystem::remove(caminho);
  EXPECT_EQ(pidsSaoDaqui(caminho), std::nullopt);
}

}  // namespace
}  // namespace escuta
