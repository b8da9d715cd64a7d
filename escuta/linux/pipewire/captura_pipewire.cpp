#include "escuta/linux/pipewire/captura_pipewire.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "escuta/linux/aplicativos/juiz.h"
#include "escuta/linux/entrega.h"
#include "escuta/linux/limites.h"
#include "escuta/linux/pipewire/aplicativos.h"
#include "escuta/linux/pipewire/conexao_pipewire.h"
#include "escuta/linux/pipewire/formato_pipewire.h"
#include "escuta/linux/pipewire/ligacoes.h"

namespace escuta {

namespace {

// A node's id is reused once it goes; its serial never is.
uint64_t serialDe(const NoDoGrafo& no) {
  const std::string texto = valorDe(no.props, "object.serial");
  uint64_t serial = 0;
  const auto r = std::from_chars(texto.data(), texto.data() + texto.size(), serial);
  return !texto.empty() && r.ec == std::errc() && r.ptr == texto.data() + texto.size() ? serial
                                                                                         : (uint64_t{1} << 63) | no.id;
}

class FluxoPipeWire : public Fluxo {
 public:
  FluxoPipeWire(std::shared_ptr<const Exclusao> exclusao, const ConfiguracaoDoFluxo& configuracao,
                DelegadoDoFluxo& delegado)
      : configuracao_(configuracao), delegado_(delegado), entrega_(configuracao, delegado), exclusao_(std::move(exclusao)) {}

  ~FluxoPipeWire() override {
    juiz_.reset();  // it takes the loop's lock for each verdict
    if (!conexao_) return;
    {
      ConexaoPipeWire::Trava trava(*conexao_);
      for (auto& [_, proxy] : ligacoes_) pw_proxy_destroy(proxy);
      pw_loop* laco = pw_thread_loop_get_loop(conexao_->laco());
      if (prazo_) pw_loop_destroy_source(laco, prazo_);
      if (semDados_) pw_loop_destroy_source(laco, semDados_);
      if (reconexao_) pw_loop_destroy_source(laco, reconexao_);
      if (fluxo_) pw_stream_destroy(fluxo_);
    }
    conexao_.reset();
  }

  std::optional<Erro> adicionarSaida(SaidaDoFluxo& saida, TipoDeSaida tipo, FilaSerial& fila) override {
    return entrega_.registrar(saida, tipo, fila);
  }

  void iniciarCaptura(std::function<void(std::optional<Erro>)> conclusao) override {
    if (std::optional<Erro> e = validarFormato(configuracao_)) return conclusao(e);
    if (!entrega_.registrada()) return conclusao(Erro{"nenhuma saída registrada"});
    Resultado<std::unique_ptr<ConexaoPipeWire>> c = ConexaoPipeWire::abrir();
    if (!c.ok()) return conclusao(c.erro());
    conexao_ = std::move(c.valor());
    ConexaoPipeWire::Trava trava(*conexao_);
    conclusao_ = std::move(conclusao);
    conexao_->aoCair = [this](const std::string& motivo) { falhou(motivo); };
    conexao_->aoMudar = [this] { religar(); };
    if (exclusao_ && !exclusao_->vazia())
      juiz_ = std::make_unique<Juiz>(exclusao_, [this](uint64_t serial, bool deixarDeFora) {
        ConexaoPipeWire::Trava trava(*conexao_);
        vereditos_[serial] = deixarDeFora;
        religar();
      });
    if (std::optional<Erro> e = conectar()) return concluir(e);
    armarPrazo();
  }

 private:
  std::optional<Erro> conectar();
  std::optional<Erro> conectarFluxo();
  void agendarReconexao();
  void reconectar();
  void armarPrazo();
  void vigiarPrimeiroBuffer();
  void religar();
  bool ouvir(const NoDoGrafo& no);
  void concluir(std::optional<Erro> erro);
  void falhou(const std::string& motivo);
  void processar();
  static void aoMudarEstado(void* dados, pw_stream_state, pw_stream_state estado, const char* erro);

  ConfiguracaoDoFluxo configuracao_;
  DelegadoDoFluxo& delegado_;
  Entrega entrega_;
  std::shared_ptr<const Exclusao> exclusao_;
  std::unique_ptr<Juiz> juiz_;
  std::map<uint64_t, std::optional<bool>> vereditos_;  // by node serial: asked, and whether left out
  std::unique_ptr<ConexaoPipeWire> conexao_;
  pw_stream* fluxo_ = nullptr;
  spa_hook ouvinte_{};
  spa_source* prazo_ = nullptr;
  spa_source* semDados_ = nullptr;
  spa_source* reconexao_ = nullptr;
  bool reconectando_ = false;
  std::function<void(std::optional<Erro>)> conclusao_;
  bool conectado_ = false;
  bool iniciado_ = false;
  std::map<Ligacao, pw_proxy*> ligacoes_;
};

std::optional<Erro> FluxoPipeWire::conectar() {
  pw_properties* props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                                           PW_KEY_NODE_NAME, "escuta", PW_KEY_APP_NAME, "escuta", nullptr);
  // Fed only by the links made here, from every program's playback streams
  // whatever device they play to (so a program kept on another device, or a
  // change of the default device, loses nothing, and a filter's re-emitted
  // sound is never heard twice); the links outlive a session manager's
  // restart. Kept running, in silence, when nothing is linked.
  pw_properties_set(props, PW_KEY_NODE_AUTOCONNECT, "false");
  pw_properties_set(props, "node.always-process", "true");
  pw_properties_set(props, "node.want-driver", "true");
  fluxo_ = pw_stream_new(conexao_->nucleo(), "escuta", props);
  if (!fluxo_) return Erro{std::string("pw_stream_new: ") + std::strerror(errno)};
  static const pw_stream_events eventos = [] {
    pw_stream_events e{};
    e.version = PW_VERSION_STREAM_EVENTS;
    e.state_changed = &FluxoPipeWire::aoMudarEstado;
    e.process = [](void* dados) { static_cast<FluxoPipeWire*>(dados)->processar(); };
    return e;
  }();
  pw_stream_add_listener(fluxo_, &ouvinte_, &eventos, this);
  return conectarFluxo();
}

std::optional<Erro> FluxoPipeWire::conectarFluxo() {
  spa_audio_info_raw info = formatoPedido(configuracao_);
  // The session manager gives the node ports for its widest format and the
  // stream delivers the first: PipeWire's channel mixer folds every position
  // into the requested layout (centre to both sides, surrounds to their side).
  spa_audio_info_raw portas = formatoDasPortas(configuracao_);
  uint8_t memoria[2048];
  spa_pod_builder construtor{};
  spa_pod_builder_init(&construtor, memoria, sizeof memoria);
  const spa_pod* parametros[2] = {spa_format_audio_raw_build(&construtor, SPA_PARAM_EnumFormat, &info),
                                  spa_format_audio_raw_build(&construtor, SPA_PARAM_EnumFormat, &portas)};
  // No RT_PROCESS: samples are copied on the loop's thread, never in the real-time one.
  const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_MAP_BUFFERS);
  const int r = pw_stream_connect(fluxo_, PW_DIRECTION_INPUT, PW_ID_ANY, flags, parametros, 2);
  if (r < 0) return Erro{std::string("pw_stream_connect: ") + std::strerror(-r)};
  conectado_ = true;
  return std::nullopt;
}

// Not from inside the state callback: the stream is not to be torn down there.
void FluxoPipeWire::agendarReconexao() {
  pw_loop* laco = pw_thread_loop_get_loop(conexao_->laco());
  if (!reconexao_)
    reconexao_ = pw_loop_add_timer(laco, [](void* dados, uint64_t) { static_cast<FluxoPipeWire*>(dados)->reconectar(); },
                                   this);
  timespec logo{0, 1};
  pw_loop_update_timer(laco, reconexao_, &logo, nullptr, false);
}

void FluxoPipeWire::reconectar() {
  reconectando_ = true;
  for (auto& [_, proxy] : ligacoes_) pw_proxy_destroy(proxy);
  ligacoes_.clear();
  pw_stream_disconnect(fluxo_);
  if (std::optional<Erro> e = conectarFluxo()) falhou(e->descricao);
}

void FluxoPipeWire::armarPrazo() {
  pw_loop* laco = pw_thread_loop_get_loop(conexao_->laco());
  prazo_ = pw_loop_add_timer(
      laco,
      [](void* dados, uint64_t) {
        auto* f = static_cast<FluxoPipeWire*>(dados);
        if (!f->iniciado_)
          f->concluir(Erro{"o PipeWire não entregou áudio em " + std::to_string(kSegundosParaComecar) + " s"});
      },
      this);
  timespec quando{kSegundosParaComecar, 0};
  pw_loop_update_timer(laco, prazo_, &quando, nullptr, false);
}

// Streaming a second without a buffer: a new node takes its place, as for a
// suspended one; the start's deadline still holds.
void FluxoPipeWire::vigiarPrimeiroBuffer() {
  pw_loop* laco = pw_thread_loop_get_loop(conexao_->laco());
  if (!semDados_)
    semDados_ = pw_loop_add_timer(
        laco,
        [](void* dados, uint64_t) {
          auto* f = static_cast<FluxoPipeWire*>(dados);
          if (!f->iniciado_ && !f->reconectando_) f->agendarReconexao();
        },
        this);
  timespec umSegundo{1, 0};
  pw_loop_update_timer(laco, semDados_, &umSegundo, nullptr, false);
}

void FluxoPipeWire::concluir(std::optional<Erro> erro) {
  if (!conclusao_) return;
  auto conclusao = std::move(conclusao_);
  conclusao_ = nullptr;
  conclusao(std::move(erro));
}

void FluxoPipeWire::falhou(const std::string& motivo) {
  if (!iniciado_) return concluir(Erro{motivo});
  delegado_.fluxoParou(Erro{motivo});
}

void FluxoPipeWire::aoMudarEstado(void* dados, pw_stream_state, pw_stream_state estado, const char* erro) {
  auto* f = static_cast<FluxoPipeWire*>(dados);
  switch (estado) {
    case PW_STREAM_STATE_STREAMING:
      f->reconectando_ = false;
      // Started once audio comes (see processar); a node streaming with no
      // driver to run it would say "pronto" and then deliver nothing.
      if (!f->iniciado_) f->vigiarPrimeiroBuffer();
      break;
    case PW_STREAM_STATE_PAUSED:
      f->religar();
      // A session manager that reconfigures our ports (after its restart,
      // say) leaves the node suspended, and nothing would wake it: a new node
      // takes its place.
      if (f->iniciado_ && !f->reconectando_) f->agendarReconexao();
      break;
    case PW_STREAM_STATE_ERROR:
      f->falhou(erro ? erro : "erro no fluxo do PipeWire");
      break;
    case PW_STREAM_STATE_UNCONNECTED:
      if (f->conectado_ && !f->reconectando_) f->falhou("o fluxo do PipeWire foi desconectado");
      break;
    default:
      break;
  }
}

void FluxoPipeWire::processar() {
  pw_buffer* b = pw_stream_dequeue_buffer(fluxo_);
  if (!b) return;
  if (!iniciado_) {
    iniciado_ = true;
    concluir(std::nullopt);
  }
  const spa_data& d = b->buffer->datas[0];
  std::vector<uint8_t> bytes;
  if (d.data && d.chunk) {
    const uint32_t inicio = std::min(d.chunk->offset, d.maxsize);
    const uint32_t tamanho = std::min(d.chunk->size, d.maxsize - inicio);
    const auto* origem = static_cast<const uint8_t*>(d.data) + inicio;
    bytes.assign(origem, origem + tamanho);
  }
  pw_stream_queue_buffer(fluxo_, b);
  entrega_.entregar(std::move(bytes));
}

void FluxoPipeWire::religar() {
  if (!fluxo_) return;
  const uint32_t no = pw_stream_get_node_id(fluxo_);
  if (no == SPA_ID_INVALID) return;
  const std::vector<Ligacao> desejadas =
      ligacoesDesejadas(conexao_->grafo(), no, [this](const NoDoGrafo& n) { return ouvir(n); });
  std::erase_if(vereditos_, [this](const auto& v) {
    const auto& nos = conexao_->grafo().nos;
    return std::none_of(nos.begin(), nos.end(), [&](const NoDoGrafo& n) { return serialDe(n) == v.first; });
  });
  for (auto it = ligacoes_.begin(); it != ligacoes_.end();) {
    if (std::binary_search(desejadas.begin(), desejadas.end(), it->first)) {
      ++it;
      continue;
    }
    pw_proxy_destroy(it->second);
    it = ligacoes_.erase(it);
  }
  for (const Ligacao& l : desejadas) {
    if (ligacoes_.count(l)) continue;
    const auto texto = [](uint32_t v) { return std::to_string(v); };
    pw_properties* p = pw_properties_new(PW_KEY_LINK_OUTPUT_NODE, texto(l.noSaida).c_str(), PW_KEY_LINK_OUTPUT_PORT,
                                         texto(l.portaSaida).c_str(), PW_KEY_LINK_INPUT_NODE,
                                         texto(l.noEntrada).c_str(), PW_KEY_LINK_INPUT_PORT,
                                         texto(l.portaEntrada).c_str(), PW_KEY_OBJECT_LINGER, "false", nullptr);
    auto* proxy = static_cast<pw_proxy*>(pw_core_create_object(conexao_->nucleo(), "link-factory",
                                                               PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &p->dict, 0));
    pw_properties_free(p);
    if (proxy) ligacoes_[l] = proxy;
  }
}

// Heard once judged, unless left out; every stream, when nothing is.
bool FluxoPipeWire::ouvir(const NoDoGrafo& no) {
  if (!juiz_) return true;
  const uint64_t serial = serialDe(no);
  auto [veredito, novo] = vereditos_.try_emplace(serial);
  if (novo) juiz_->perguntar(serial, clienteDoNo(conexao_->grafo(), no));
  return veredito->second == false;
}

}  // namespace

std::unique_ptr<Fluxo> criarFluxoPipeWire(std::shared_ptr<const Exclusao> exclusao,
                                          const ConfiguracaoDoFluxo& configuracao, DelegadoDoFluxo& delegado) {
  return std::make_unique<FluxoPipeWire>(std::move(exclusao), configuracao, delegado);
}

}  // namespace escuta
