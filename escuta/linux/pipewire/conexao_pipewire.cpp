#include "escuta/linux/pipewire/conexao_pipewire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace escuta {

namespace {

constexpr std::chrono::milliseconds kEspera{3000};

Propriedades propriedadesDe(const spa_dict* dict) {
  Propriedades p;
  if (!dict) return p;
  const spa_dict_item* item;
  spa_dict_for_each(item, dict) p[item->key ? item->key : ""] = item->value ? item->value : "";
  return p;
}

template <typename T>
void removerId(std::vector<T>& v, uint32_t id) {
  v.erase(std::remove_if(v.begin(), v.end(), [id](const T& x) { return x.id == id; }), v.end());
}

}  // namespace

struct ConexaoPipeWire::Vinculo {
  ConexaoPipeWire* dono;
  uint32_t id;
  bool ehCliente;
  pw_proxy* proxy;
  spa_hook ouvinte{};
};

Resultado<std::unique_ptr<ConexaoPipeWire>> ConexaoPipeWire::abrir() {
  auto c = conectar(kEspera);
  if (auto* falha = std::get_if<Falha>(&c)) return Erro{falha->descricao};
  return std::move(std::get<std::unique_ptr<ConexaoPipeWire>>(c));
}

std::variant<std::unique_ptr<ConexaoPipeWire>, ConexaoPipeWire::Falha> ConexaoPipeWire::conectar(
    std::chrono::milliseconds prazo) {
  pw_init(nullptr, nullptr);
  std::unique_ptr<ConexaoPipeWire> c(new ConexaoPipeWire());
  c->laco_ = pw_thread_loop_new("escuta-pw", nullptr);
  if (!c->laco_) return Falha{Falha::outra, std::strerror(errno)};
  c->contexto_ = pw_context_new(pw_thread_loop_get_loop(c->laco_), nullptr, 0);
  if (!c->contexto_ || pw_thread_loop_start(c->laco_) < 0) return Falha{Falha::outra, std::strerror(errno)};
  Trava trava(*c);
  c->nucleo_ = pw_context_connect(c->contexto_, nullptr, 0);
  if (!c->nucleo_) {
    const int erro = errno;
    // No socket where the library looked: EHOSTDOWN (ENOENT from older releases).
    const Falha::Tipo tipo = erro == ENOENT || erro == EHOSTDOWN ? Falha::semSoquete
                             : erro == ECONNREFUSED                ? Falha::recusou
                                                                   : Falha::outra;
    return Falha{tipo, std::string("não consegui falar com o PipeWire: ") + std::strerror(erro)};
  }
  static const pw_core_events eventosDoNucleo = [] {
    pw_core_events e{};
    e.version = PW_VERSION_CORE_EVENTS;
    e.done = &ConexaoPipeWire::feito;
    e.error = &ConexaoPipeWire::erro;
    return e;
  }();
  pw_core_add_listener(c->nucleo_, &c->ouvinteDoNucleo_, &eventosDoNucleo, c.get());
  c->registro_ = pw_core_get_registry(c->nucleo_, PW_VERSION_REGISTRY, 0);
  static const pw_registry_events eventosDoRegistro = [] {
    pw_registry_events e{};
    e.version = PW_VERSION_REGISTRY_EVENTS;
    e.global = &ConexaoPipeWire::global;
    e.global_remove = &ConexaoPipeWire::globalRemovido;
    return e;
  }();
  pw_registry_add_listener(c->registro_, &c->ouvinteDoRegistro_, &eventosDoRegistro, c.get());
  if (!c->uma(prazo) || !c->uma(kEspera))
    return Falha{c->caiu_ ? Falha::outra : Falha::calado, "o PipeWire não respondeu"};
  return c;
}

ConexaoPipeWire::~ConexaoPipeWire() {
  if (laco_) pw_thread_loop_stop(laco_);
  for (Vinculo& v : vinculos_) pw_proxy_destroy(v.proxy);
  if (registro_) pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registro_));
  if (nucleo_) pw_core_disconnect(nucleo_);
  if (contexto_) pw_context_destroy(contexto_);
  if (laco_) pw_thread_loop_destroy(laco_);
}

bool ConexaoPipeWire::uma(std::chrono::milliseconds prazo) {
  const int seq = pw_core_sync(nucleo_, PW_ID_CORE, 0);
  timespec fim{};
  pw_thread_loop_get_time(laco_, &fim, std::chrono::nanoseconds(prazo).count());
  while (feitoAte_ < seq && !caiu_)
    if (pw_thread_loop_timed_wait_full(laco_, &fim) != 0) return false;
  return !caiu_;
}

uint32_t ConexaoPipeWire::meuCliente() const {
  return pw_proxy_get_bound_id(reinterpret_cast<pw_proxy*>(pw_core_get_client(nucleo_)));
}

bool ConexaoPipeWire::sincronizar() { return uma(kEspera) && uma(kEspera); }

void ConexaoPipeWire::feito(void* dados, uint32_t id, int seq) {
  auto* c = static_cast<ConexaoPipeWire*>(dados);
  if (id == PW_ID_CORE) c->feitoAte_ = std::max(c->feitoAte_, seq);
  pw_thread_loop_signal(c->laco_, false);
}

void ConexaoPipeWire::erro(void* dados, uint32_t id, int, int res, const char* mensagem) {
  auto* c = static_cast<ConexaoPipeWire*>(dados);
  // Only the core's broken pipe means the daemon is gone; other errors belong to one object.
  if (id != PW_ID_CORE || res != -EPIPE || c->caiu_) return;
  c->caiu_ = true;
  pw_thread_loop_signal(c->laco_, false);
  if (c->aoCair) c->aoCair(std::string("conexão com o PipeWire perdida: ") + (mensagem ? mensagem : std::strerror(-res)));
}

void ConexaoPipeWire::global(void* dados, uint32_t id, uint32_t, const char* tipo, uint32_t, const spa_dict* props) {
  auto* c = static_cast<ConexaoPipeWire*>(dados);
  const std::string t = tipo ? tipo : "";
  if (t == PW_TYPE_INTERFACE_Port) {
    const Propriedades p = propriedadesDe(props);
    c->grafo_.portas.push_back({id, numeroDe(p, "node.id").value_or(0), valorDe(p, "port.direction") == "out",
                                valorDe(p, "port.monitor") == "true", valorDe(p, "audio.channel"),
                                numeroDe(p, "port.id").value_or(0)});
    c->mudou();
    return;
  }
  const bool ehCliente = t == PW_TYPE_INTERFACE_Client;
  if (!ehCliente && t != PW_TYPE_INTERFACE_Node) return;
  // Registry globals carry few properties; the bound object's info has them all.
  if (ehCliente)
    c->grafo_.clientes.push_back({id, propriedadesDe(props)});
  else
    c->grafo_.nos.push_back({id, propriedadesDe(props)});
  const uint32_t versao = ehCliente ? PW_VERSION_CLIENT : PW_VERSION_NODE;
  auto* proxy = static_cast<pw_proxy*>(pw_registry_bind(c->registro_, id, tipo, versao, 0));
  if (!proxy) return;
  static const pw_client_events eventosDoCliente = [] {
    pw_client_events e{};
    e.version = PW_VERSION_CLIENT_EVENTS;
    e.info = &ConexaoPipeWire::infoDoCliente;
    return e;
  }();
  static const pw_node_events eventosDoNo = [] {
    pw_node_events e{};
    e.version = PW_VERSION_NODE_EVENTS;
    e.info = &ConexaoPipeWire::infoDoNo;
    return e;
  }();
  Vinculo& v = c->vinculos_.emplace_back(Vinculo{c, id, ehCliente, proxy});
  if (ehCliente)
    pw_client_add_listener(reinterpret_cast<pw_client*>(proxy), &v.ouvinte, &eventosDoCliente, &v);
  else
    pw_node_add_listener(reinterpret_cast<pw_node*>(proxy), &v.ouvinte, &eventosDoNo, &v);
  c->mudou();
}

void ConexaoPipeWire::globalRemovido(void* dados, uint32_t id) {
  auto* c = static_cast<ConexaoPipeWire*>(dados);
  removerId(c->grafo_.clientes, id);
  removerId(c->grafo_.nos, id);
  removerId(c->grafo_.portas, id);
  for (auto it = c->vinculos_.begin(); it != c->vinculos_.end(); ++it)
    if (it->id == id) {
      pw_proxy_destroy(it->proxy);
      c->vinculos_.erase(it);
      break;
    }
  c->mudou();
}

void ConexaoPipeWire::atualizar(uint32_t id, bool ehCliente, const spa_dict* props) {
  Propriedades novas = propriedadesDe(props);
  if (ehCliente) {
    for (ClienteDoGrafo& x : grafo_.clientes)
      if (x.id == id) x.props = std::move(novas), x.completo = true;
  } else {
    for (NoDoGrafo& x : grafo_.nos)
      if (x.id == id) x.props = std::move(novas), x.completo = true;
  }
  mudou();
}

void ConexaoPipeWire::mudou() {
  if (aoMudar) aoMudar();
}

void ConexaoPipeWire::infoDoCliente(void* dados, const pw_client_info* info) {
  auto* v = static_cast<Vinculo*>(dados);
  if (info && (info->change_mask & PW_CLIENT_CHANGE_MASK_PROPS)) v->dono->atualizar(v->id, true, info->props);
}

void ConexaoPipeWire::infoDoNo(void* dados, const pw_node_info* info) {
  auto* v = static_cast<Vinculo*>(dados);
  if (info && (info->change_mask & PW_NODE_CHANGE_MASK_PROPS)) v->dono->atualizar(v->id, false, info->props);
}

}  // namespace escuta
