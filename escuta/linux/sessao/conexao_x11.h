#pragma once
// A connection to the X server of $DISPLAY, over XCB.
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace escuta {

class ConexaoX11 {
 public:
  // Absent when no X server takes the connection. An X server busy with a
  // burst of clients refuses some for a moment: it is tried again for about 2 s.
  static std::unique_ptr<ConexaoX11> abrir();
  ~ConexaoX11() { xcb_disconnect(conexao_); }
  ConexaoX11(const ConexaoX11&) = delete;
  ConexaoX11& operator=(const ConexaoX11&) = delete;

  xcb_connection_t* conexao() const { return conexao_; }
  // The default screen's root window, width and height.
  const xcb_screen_t& tela() const { return *tela_; }

 private:
  ConexaoX11(xcb_connection_t* conexao, const xcb_screen_t* tela) : conexao_(conexao), tela_(tela) {}
  xcb_connection_t* conexao_;
  const xcb_screen_t* tela_;
};

// A reply XCB allocated, freed with it.
template <typename T>
using RespostaX11 = std::unique_ptr<T, decltype(&std::free)>;
template <typename T>
RespostaX11<T> resposta(T* r) {
  return RespostaX11<T>(r, &std::free);
}

}  // namespace escuta
