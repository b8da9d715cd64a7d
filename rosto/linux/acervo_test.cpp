#include "rosto/linux/acervo_test.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgproc.hpp>
#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "rosto/linux/detector/detector_mediapipe.h"
#include "rosto/linux/video/video_ffmpeg.h"

namespace rosto::acervo {

namespace {

const std::string kFotos = ROSTO_FOTOS;

// Photographs with one face each: its centre and side as fractions of the width.
struct Fotografia {
  const char* nome;
  double x, y, lado;
};
const Fotografia kFotografias[] = {
    {"grace_hopper.jpg", 0.51, 0.40, 0.34},  // frontal, glasses of no frame
    {"astronaut.png", 0.43, 0.23, 0.2},      // frontal, smiling
    {"camera.png", 0.428, 0.318, 0.14},      // three-quarter, eye at the camera
    {"messi5.jpg", 0.438, 0.325, 0.064},     // three-quarter, running, 35 px in the original
};

// Face-free pictures: textures, objects, text and animals.
const char* const kTexturas[] = {
    "coffee.png",   "chelsea.png",   "brick.png",    "grass.png",          "gravel.png",     "coins.png",
    "page.png",     "text.png",      "horse.png",    "baboon.jpg",         "board.jpg",      "building.jpg",
    "fruits.jpg",   "HappyFish.jpg", "squirrel_cls.jpg", "imageTextN.png", "notes.png", "starry_night.jpg",
    "stuff.jpg",    "home.jpg",      "aero1.jpg"};

// Backgrounds for the face grids: rooms, buildings, objects.
const char* const kFundos[] = {"home.jpg", "stuff.jpg", "building.jpg", "board.jpg", "aero1.jpg"};

constexpr int kLargura = 640, kAltura = 360;

// The LFW subset of scikit-image: 200 grey 25×25 images in [0, 1] as a
// little-endian float64 .npy; the first 100 are faces, the rest are not.
std::vector<cv::Mat> lfw() {
  std::ifstream f(kFotos + "/lfw_subset.npy", std::ios::binary);
  char magica[10];
  if (!f.read(magica, 10) || std::memcmp(magica, "\x93NUMPY", 6) != 0) throw std::runtime_error("lfw_subset.npy");
  const int cabecalho = static_cast<unsigned char>(magica[8]) | static_cast<unsigned char>(magica[9]) << 8;
  std::string dicionario(cabecalho, '\0');
  f.read(dicionario.data(), cabecalho);
  if (dicionario.find("'<f8'") == std::string::npos || dicionario.find("(200, 25, 25)") == std::string::npos)
    throw std::runtime_error("lfw_subset.npy: forma inesperada");
  std::vector<cv::Mat> imagens;
  for (int k = 0; k < 200; ++k) {
    cv::Mat valores(25, 25, CV_64F);
    f.read(reinterpret_cast<char*>(valores.data), 25 * 25 * sizeof(double));
    cv::Mat cinza, rgb;
    valores.convertTo(cinza, CV_8U, 255);
    cv::cvtColor(cinza, rgb, cv::COLOR_GRAY2RGB);
    imagens.push_back(rgb);
  }
  if (!f) throw std::runtime_error("lfw_subset.npy: curto");
  return imagens;
}

Retrato daFotografia(const Fotografia& d) {
  const cv::Mat inteira = foto(d.nome);
  const double lado = d.lado * inteira.cols;
  const cv::Rect2d rosto(d.x * inteira.cols - lado / 2, d.y * inteira.rows - lado / 2, lado, lado);
  // Some context around the face, as a photo or a call shows it.
  cv::Rect corte(cv::Point(static_cast<int>(rosto.x - 0.5 * lado), static_cast<int>(rosto.y - 0.5 * lado)),
                 cv::Point(static_cast<int>(rosto.br().x + 0.5 * lado), static_cast<int>(rosto.br().y + 0.5 * lado)));
  corte &= cv::Rect(0, 0, inteira.cols, inteira.rows);
  return {d.nome, inteira(corte).clone(), cv::Rect2d(rosto.x - corte.x, rosto.y - corte.y, lado, lado)};
}

Retrato espelhado(const Retrato& r) {
  Retrato e{r.origem + " espelhada", cv::Mat(), r.rosto};
  cv::flip(r.imagem, e.imagem, 1);
  e.rosto.x = r.imagem.cols - r.rosto.br().x;
  return e;
}

// Covers the frame keeping the aspect, then cuts the middle.
cv::Mat cobrir(const cv::Mat& imagem, double zoom, double fracaoX, double fracaoY) {
  const double escala = zoom * std::max(static_cast<double>(kLargura) / imagem.cols,
                                        static_cast<double>(kAltura) / imagem.rows);
  cv::Mat grande;
  cv::resize(imagem, grande, cv::Size(), escala, escala, escala < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
  const int x = static_cast<int>(fracaoX * (grande.cols - kLargura));
  const int y = static_cast<int>(fracaoY * (grande.rows - kAltura));
  return grande(cv::Rect(x, y, kLargura, kAltura)).clone();
}

// The picture at half the frame's size, repeated 2×2.
cv::Mat repetido(const cv::Mat& imagem) {
  cv::Mat metade, quadro(kAltura, kLargura, CV_8UC3);
  cv::resize(cobrir(imagem, 1, 0.5, 0.5), metade, cv::Size(kLargura / 2, kAltura / 2), 0, 0, cv::INTER_AREA);
  for (int k = 0; k < 4; ++k) metade.copyTo(quadro(cv::Rect(k % 2 * kLargura / 2, k / 2 * kAltura / 2, kLargura / 2, kAltura / 2)));
  return quadro;
}

// Lays pictures on backgrounds in a grid whose cells fit `lado` pixels,
// each at a random place in its cell; gives the frames and where each went.
std::vector<Quadro> emGrade(const std::vector<cv::Mat>& pecas, const std::vector<cv::Rect2d>& alvos, int lado,
                            unsigned semente) {
  // Decoded once for every grid of the run.
  static const std::vector<cv::Mat> fundos = [] {
    std::vector<cv::Mat> f;
    for (const char* nome : kFundos) f.push_back(cobrir(foto(nome), 1, 0.5, 0.5));
    return f;
  }();
  std::mt19937 sorte(semente);
  const int passo = std::max(72, lado + 8);
  const int colunas = kLargura / passo, linhas = kAltura / passo;
  std::vector<Quadro> quadros;
  for (size_t k = 0; k < pecas.size(); ++k) {
    const size_t celula = k % (colunas * linhas);
    if (celula == 0) quadros.push_back({fundos[quadros.size() % fundos.size()].clone(), {}});
    const cv::Mat& peca = pecas[k];
    const int folgaX = std::max(1, passo - peca.cols), folgaY = std::max(1, passo - peca.rows);
    const int x = static_cast<int>(celula % colunas) * passo + static_cast<int>(sorte() % folgaX);
    const int y = static_cast<int>(celula / colunas) * passo + static_cast<int>(sorte() % folgaY);
    const cv::Rect onde = cv::Rect(x, y, peca.cols, peca.rows) & cv::Rect(0, 0, kLargura, kAltura);
    peca(cv::Rect(0, 0, onde.width, onde.height)).copyTo(quadros.back().rgb(onde));
    quadros.back().rostos.emplace_back(x + alvos[k].x, y + alvos[k].y, alvos[k].width, alvos[k].height);
  }
  return quadros;
}

}  // namespace

cv::Mat foto(const std::string& nome) {
  auto ativo = abrirAtivoFFmpeg(kFotos + "/" + nome);
  AjustesDoGerador ajustes;
  ajustes.toleranciaDepois = {1, 30};
  ajustes.tamanhoMaximo = {1e6, 1e6};
  auto gerador = ativo->criarGerador(ajustes);
  Resultado<Imagem> r = gerador->imagemEm({0, 600});
  if (!r.ok()) throw std::runtime_error(nome + ": " + r.erro().descricao);
  const Imagem& i = r.valor();
  return cv::Mat(i.altura, i.largura, CV_8UC3, const_cast<uint8_t*>(i.rgb), i.bytesPorLinha).clone();
}

std::vector<Rosto> rostosEm(PedidoDeRostos& pedido, const cv::Mat& rgb) {
  Resultado<ListaDeRostos> r = pedido.executar(Imagem{rgb.cols, rgb.rows, static_cast<int>(rgb.step), rgb.data});
  EXPECT_TRUE(r.ok() && r.valor().has_value());
  return r.ok() && r.valor() ? *r.valor() : std::vector<Rosto>{};
}

PedidoDeRostos& detectorPadrao() {
  static const std::unique_ptr<PedidoDeRostos> pedido = [] {
    auto p = criarPedidoMediaPipe(ROSTO_MODELOS);
    if (!p.ok()) throw std::runtime_error(p.erro().descricao);
    return std::move(p.valor());
  }();
  return *pedido;
}

std::vector<Retrato> retratos() {
  std::vector<Retrato> todos;
  const std::vector<cv::Mat> imagens = lfw();
  // The LFW faces are tight crops: the face fills the picture.
  for (int k = 0; k < 100; ++k) todos.push_back({"lfw " + std::to_string(k), imagens[k], cv::Rect2d(0, 0, 25, 25)});
  for (const Fotografia& f : kFotografias) {
    todos.push_back(daFotografia(f));
    todos.push_back(espelhado(todos.back()));
  }
  return todos;
}

std::vector<Quadro> grades(const std::vector<Retrato>& retratos, int altura, unsigned semente) {
  std::vector<cv::Mat> pecas;
  std::vector<cv::Rect2d> alvos;
  for (const Retrato& r : retratos) {
    const double escala = altura / r.rosto.height;
    cv::Mat peca;
    cv::resize(r.imagem, peca, cv::Size(), escala, escala, escala < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    pecas.push_back(peca);
    alvos.emplace_back(r.rosto.x * escala, r.rosto.y * escala, r.rosto.width * escala, r.rosto.height * escala);
  }
  return emGrade(pecas, alvos, 2 * altura, semente);
}

std::vector<Retrato> rolados(const std::vector<Retrato>& retratos, double graus) {
  std::vector<Retrato> saida;
  for (const Retrato& r : retratos) {
    // A square canvas the diagonal's size, the face at its centre.
    const int lado = static_cast<int>(std::ceil(std::hypot(r.imagem.cols, r.imagem.rows)));
    const cv::Point2d centro(r.rosto.x + r.rosto.width / 2, r.rosto.y + r.rosto.height / 2);
    cv::Mat giro = cv::getRotationMatrix2D(centro, graus, 1.0);
    giro.at<double>(0, 2) += lado / 2.0 - centro.x;
    giro.at<double>(1, 2) += lado / 2.0 - centro.y;
    Retrato novo{r.origem + " rolada", cv::Mat(), cv::Rect2d(lado / 2.0 - r.rosto.width / 2, lado / 2.0 - r.rosto.height / 2,
                                                             r.rosto.width, r.rosto.height)};
    cv::warpAffine(r.imagem, novo.imagem, giro, cv::Size(lado, lado), cv::INTER_LINEAR, cv::BORDER_REFLECT);
    saida.push_back(std::move(novo));
  }
  return saida;
}

const char* nomeDe(Condicao c) {
  switch (c) {
    case Condicao::escuro: return "escuro";
    case Condicao::borrado: return "borrado";
    case Condicao::ruidoso: return "ruidoso";
    case Condicao::comprimido: return "comprimido";
  }
  return "?";
}

namespace {

// The frames as one low-bitrate H.264 clip, decoded back through rosto's own path.
std::vector<Quadro> comprimidos(std::vector<Quadro> quadros) {
  char pasta[] = "/tmp/rosto-acervo-XXXXXX";
  if (!mkdtemp(pasta)) throw std::runtime_error("mkdtemp");
  const std::string cru = std::string(pasta) + "/quadros.rgb", clipe = std::string(pasta) + "/quadros.mp4";
  {
    std::ofstream f(cru, std::ios::binary);
    for (const Quadro& q : quadros) f.write(reinterpret_cast<const char*>(q.rgb.data), q.rgb.total() * 3);
  }
  const std::string comando = "ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgb24 -s " + std::to_string(kLargura) +
                              "x" + std::to_string(kAltura) + " -r 1 -i '" + cru +
                              "' -c:v libx264 -crf 40 -g 1 -pix_fmt yuv420p '" + clipe + "'";
  if (std::system(comando.c_str()) != 0) throw std::runtime_error("falhou: " + comando);
  auto ativo = abrirAtivoFFmpeg(clipe);
  AjustesDoGerador ajustes;
  ajustes.toleranciaDepois = {1, 30};
  ajustes.tamanhoMaximo = {1e6, 1e6};
  auto gerador = ativo->criarGerador(ajustes);
  for (size_t k = 0; k < quadros.size(); ++k) {
    Resultado<Imagem> r = gerador->imagemEm({static_cast<int64_t>(k), 1});
    if (!r.ok()) throw std::runtime_error("quadro comprimido " + std::to_string(k));
    const Imagem& i = r.valor();
    cv::Mat(i.altura, i.largura, CV_8UC3, const_cast<uint8_t*>(i.rgb), i.bytesPorLinha).copyTo(quadros[k].rgb);
  }
  std::filesystem::remove_all(pasta);
  return quadros;
}

}  // namespace

std::vector<Quadro> sob(Condicao c, std::vector<Quadro> quadros) {
  if (c == Condicao::comprimido) return comprimidos(std::move(quadros));
  std::mt19937 sorte(13);
  for (Quadro& q : quadros) {
    switch (c) {
      case Condicao::escuro:  // a quarter of the light, and the noise of the gain that brings it back
        q.rgb.convertTo(q.rgb, -1, 0.25, 0);
        break;
      case Condicao::borrado: {  // the camera moving 9 px across during the exposure
        const cv::Mat nucleo = cv::Mat::ones(1, 9, CV_32F) / 9.0f;
        cv::filter2D(q.rgb, q.rgb, -1, nucleo);
        break;
      }
      case Condicao::ruidoso: {  // sensor noise, sigma 20 of 255
        cv::Mat ruido(q.rgb.size(), CV_16SC3);
        cv::randn(ruido, 0, 20);
        cv::Mat soma;
        q.rgb.convertTo(soma, CV_16SC3);
        soma += ruido;
        soma.convertTo(q.rgb, CV_8UC3);
        break;
      }
      case Condicao::comprimido: break;
    }
  }
  return quadros;
}

std::vector<Quadro> texturas() {
  std::vector<Quadro> quadros;
  for (const char* nome : kTexturas) {
    const cv::Mat imagem = foto(nome);
    quadros.push_back({cobrir(imagem, 1, 0.5, 0.5), {}});
    quadros.push_back({repetido(imagem), {}});
    for (double zoom : {2.0, 4.0})
      for (double onde : {0.0, 0.5, 1.0}) quadros.push_back({cobrir(imagem, zoom, onde, 1 - onde), {}});
  }
  const std::vector<cv::Mat> imagens = lfw();
  for (int lado : {18, 26, 34, 56, 80}) {
    std::vector<cv::Mat> pecas;
    for (int k = 100; k < 200; ++k) {
      cv::Mat peca;
      cv::resize(imagens[k], peca, cv::Size(lado, lado), 0, 0, lado < 25 ? cv::INTER_AREA : cv::INTER_LINEAR);
      pecas.push_back(peca);
    }
    for (Quadro& q : emGrade(pecas, std::vector<cv::Rect2d>(pecas.size()), lado, 11)) {
      q.rostos.clear();
      quadros.push_back(std::move(q));
    }
  }
  return quadros;
}

}  // namespace rosto::acervo
