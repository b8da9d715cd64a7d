#include "escuta/linux/pulseaudio/consultas_pulse.h"

namespace escuta {

Propriedades propriedadesDe(const pa_proplist* lista) {
  Propriedades p;
  void* estado = nullptr;
  while (const char* chave = pa_proplist_iterate(const_cast<pa_proplist*>(lista), &estado))
    if (const char* valor = pa_proplist_gets(lista, chave)) p[chave] = valor;  // text values only
  return p;
}

ClientePulse clienteDe(const pa_client_info& info) {
  return {info.index, info.driver ? info.driver : "", propriedadesDe(info.proplist)};
}

EntradaPulse entradaDe(const pa_sink_input_info& info) {
  const uint32_t cliente = info.client == PA_INVALID_INDEX ? UINT32_MAX : info.client;
  return {info.index, cliente, info.sink, info.corked != 0, propriedadesDe(info.proplist)};
}

bool lerClientes(ConexaoPulse& conexao, std::vector<ClientePulse>& clientes, int segundos) {
  clientes.clear();
  pa_operation* op = pa_context_get_client_info_list(
      conexao.contexto(),
      [](pa_context*, const pa_client_info* info, int fim, void* d) {
        if (!fim && info) static_cast<std::vector<ClientePulse>*>(d)->push_back(clienteDe(*info));
      },
      &clientes);
  return conexao.esperar(op, segundos);
}

bool lerEntradas(ConexaoPulse& conexao, std::vector<EntradaPulse>& entradas, int segundos) {
  entradas.clear();
  pa_operation* op = pa_context_get_sink_input_info_list(
      conexao.contexto(),
      [](pa_context*, const pa_sink_input_info* info, int fim, void* d) {
        if (!fim && info) static_cast<std::vector<EntradaPulse>*>(d)->push_back(entradaDe(*info));
      },
      &entradas);
  return conexao.esperar(op, segundos);
}

}  // namespace escuta
