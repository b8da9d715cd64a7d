#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "escuta/linux/telas/telas.h"

namespace escuta {

namespace {

std::string primeiraLinha(const std::filesystem::path& arquivo) {
  std::ifstream f(arquivo);
  std::string linha;
  std::getline(f, linha);
  return linha;
}

}  // namespace

// FNV-1a.
uint32_t idDoNome(const std::string& nome) {
  uint32_t h = 2166136261u;
  for (unsigned char c : nome) h = (h ^ c) * 16777619u;
  return h;
}

std::vector<Tela> telasDrm(const std::string& raiz) {
  std::vector<std::string> nomes;
  std::error_code erro;
  for (const auto& entrada : std::filesystem::directory_iterator(raiz, erro)) {
    const std::string nome = entrada.path().filename().string();
    if (nome.starts_with("card") && nome.find('-') != std::string::npos) nomes.push_back(nome);
  }
  std::sort(nomes.begin(), nomes.end());
  std::vector<Tela> telas;
  for (const std::string& nome : nomes) {
    const std::filesystem::path pasta = std::filesystem::path(raiz) / nome;
    if (primeiraLinha(pasta / "status") != "connected") continue;
    int largura = 0, altura = 0;
    if (std::sscanf(primeiraLinha(pasta / "modes").c_str(), "%dx%d", &largura, &altura) != 2) continue;
    telas.push_back({idDoNome(nome), largura, altura});
  }
  return telas;
}

}  // namespace escuta
