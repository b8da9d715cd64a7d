#pragma once
// A scripted platform and terminal for the core's tests. They record what
// was asked of them; `encerrar` throws so a test can see the exit status.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rosto/execucao.h"
#include "rosto/plataforma.h"
#include "rosto/terminal.h"

namespace rosto::teste {

struct Encerrado {
  int status;
};

class TerminalFalso : public Terminal {
 public:
  std::string saida;
  std::string erro;
  std::vector<std::pair<char, std::string>> escritas;  // 'S' or 'E', in order, failed ones too
  int saidasBoas = -1;  // when 0 or more, the standard-output writes after that many fail, as on a full disk

  std::optional<std::string> escreverSaida(std::string_view bytes) override {
    escritas.emplace_back('S', bytes);
    if (saidasBoas >= 0 && saidasFeitas_ == saidasBoas) return "No space left on device";
    ++saidasFeitas_;
    saida += bytes;
    return std::nullopt;
  }
  void escreverErro(std::string_view bytes) override {
    erro += bytes;
    escritas.emplace_back('E', bytes);
  }
  [[noreturn]] void encerrar(int status) override { throw Encerrado{status}; }

 private:
  int saidasFeitas_ = 0;
};

class PlataformaFalsa : public Plataforma {
 public:
  // The script.
  std::vector<FaixaDeVideo> faixas{FaixaDeVideo{{1920, 1080}, {}}};
  double duracaoDoVideo = 2.0;
  // Frame at a time; by default a 640x360 image.
  std::function<Resultado<Imagem>(Tempo)> quadro = [](Tempo) {
    return Resultado<Imagem>(Imagem{640, 360, 640 * 3, nullptr});
  };
  // Faces of the n-th detection (from 0); by default an empty list.
  std::function<Resultado<ListaDeRostos>(int)> deteccao = [](int) {
    return Resultado<ListaDeRostos>(ListaDeRostos(std::vector<Rosto>{}));
  };
  std::optional<std::string> erroDoPedido;

  // What was asked.
  std::vector<std::string> abertos;
  std::vector<Tempo> tempos;
  std::optional<AjustesDoGerador> ajustes;
  int deteccoes = 0;
  int pedidosCriados = 0;

  std::unique_ptr<Ativo> abrirAtivo(const std::string& caminho) override;
  Resultado<std::unique_ptr<PedidoDeRostos>> criarPedido() override;
};

struct Saida {
  int status;
  std::string saida;
  std::string erro;
  std::vector<std::pair<char, std::string>> escritas;
};

// Runs rosto over the fake and gives what the process would have shown.
Saida rodar(PlataformaFalsa& plataforma, std::vector<std::string> args, bool depurar = false,
            TerminalFalso terminal = {});

}  // namespace rosto::teste
