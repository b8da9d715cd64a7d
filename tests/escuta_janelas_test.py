#!/usr/bin/python3
"""escuta lists what is on screen, on the desktops people use: an X11 window
manager, sway with XWayland, applications launched in systemd app units; each
application once, under its own pid, before it plays; and leaves out all the
sound of the one listed under an id, on both sound servers. Run one desktop
with its class name as argument (ctest runs them side by side)."""
import json
import os
import statistics
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from escritorio import (Sway, UnidadesDeApp, abrir_openbox, chromium, entrada_de_desktop,  # noqa: E402
                        esperar_janelas, ler, pagina_com_som)
from sessao_de_som import PRONTO, Captura, Sessao, chegou, esperar, nivel_de_tom_db, tom  # noqa: E402
from caixa_de_areia import CaixaDeAreia  # noqa: E402

# Both sound servers, as their desktops run them.
SERVIDORES = {"PipeWire": dict(pipewire=True, pulse=True), "PulseAudio": dict(pipewire=False, pulseaudio=True)}
TAXA = 48000
# GTK's accessibility bus is no part of these sessions.
SEM_ACESSIBILIDADE = {"NO_AT_BRIDGE": "1"}


def listar(sessao):
    p = sessao.escuta("--listar")
    saida, erro = p.communicate(timeout=60)
    if p.returncode != 0 or erro:
        raise AssertionError((p.returncode, erro))
    return json.loads(saida)


def niveis(captura, frequencias, segundos=1.0):
    """dB of each frequency over the last `segundos`: the median of its 0.1 s
    blocks', so that a stutter of a loaded machine (a click spreads over every
    frequency of its block) does not read as a tone."""
    canal = captura.canais(segundos)[0]
    n = TAXA // 10
    blocos = [canal[k:k + n] for k in range(0, len(canal) - n + 1, n)]
    return {f: statistics.median(nivel_de_tom_db(b, TAXA, f) for b in blocos) for f in frequencias}


def nome_do_desktop(id_):
    linhas = ler(f"/usr/share/applications/{id_}.desktop").splitlines()
    return next(l.split("=", 1)[1] for l in linhas if l.startswith("Name="))


def fluxos(sessao):
    return len(sessao.entradas())


class Exclusao:
    """Each application, by the id the listing gives it, left out of a capture
    while every other plays on: at least 60 dB under the quietest of them."""

    def assertExcluidoPeloId(self, sessao, id_, excluidos, ouvidos):
        c = Captura(sessao, "--excluir-app", id_)
        self.assertEqual(c.esperar_pronto(), PRONTO)
        # A stream already playing is heard once its device has played what it had ahead.
        esperar(lambda: len(c.dados) > TAXA * 8 and min(niveis(c, ouvidos, 0.25).values()) > -40, segundos=30,
                o_que=f"os outros, sem {id_}")
        c.esperar_audio(1.5, desde=len(c.dados))
        n = niveis(c, excluidos + ouvidos)
        c.parar()
        self.assertLess(max(n[f] for f in excluidos), min(n[f] for f in ouvidos) - 60, (id_, n))


class X11(unittest.TestCase, Exclusao):
    """Xvfb and openbox."""

    def test_janelas_listadas_com_seu_pid_antes_de_tocar(self):
        with Sessao(tela="1024x768", pulse=True) as s:
            abrir_openbox(s)
            env = {**s.env, **SEM_ACESSIBILIDADE}
            janelas = {
                "xterm": s.iniciar("xterm"),
                "xeyes": s.iniciar("xeyes"),  # declares no pid of its own
                "mpv": s.iniciar("mpv", "--no-config", "--no-audio", "--vo=x11", "--force-window=yes", "--idle=yes"),
                "org.gtk.WidgetFactory": s.iniciar_com_env(env, "gtk3-widget-factory"),
                "chromium": chromium(s),
            }
            sem_janela = s.iniciar("paplay", tom(440))
            esperar_janelas(s, len(janelas))
            esperar(lambda: fluxos(s) == 1, o_que="o tocador sem janela")
            aplicativos = listar(s)["aplicativos"]
            pids = [a["pid"] for a in aplicativos]
            self.assertEqual(len(pids), len(set(pids)), aplicativos)
            por_pid = {a["pid"]: a for a in aplicativos}
            for id_, p in janelas.items():
                with self.subTest(id_):
                    self.assertEqual(por_pid.get(p.pid, {}).get("id"), id_, aplicativos)
            self.assertEqual((por_pid[janelas["xterm"].pid]["nome"], por_pid[janelas["xeyes"].pid]["nome"]),
                             ("XTerm", "XEyes"))
            self.assertEqual(por_pid[sem_janela.pid]["id"], "pacat")
            self.assertEqual([a["id"] for a in aplicativos].count("chromium"), 1, aplicativos)

    def test_cada_um_excluido_pelo_id_listado(self):
        """A browser that plays from a helper process, a windowed player whose
        stream names another application id than its binary's, a player started
        from a terminal, and one without a window."""
        tons = {"chromium": 500, "mpv": 700, "xterm": 900, "paplay": 1100}
        for servidor, forma in SERVIDORES.items():
            with self.subTest(servidor), Sessao(tela="1024x768", **forma) as s:
                abrir_openbox(s)
                tocadores = {
                    "chromium": chromium(s, pagina_com_som(s, tom(tons["chromium"], 120))),
                    "mpv": s.iniciar_com_env({**s.env, "PULSE_PROP": "application.id=org.exemplo.Tocador"}, "mpv",
                                             "--no-config", "--vo=x11", "--force-window=yes", "--ao=pulse", "--loop",
                                             tom(tons["mpv"])),
                    "xterm": s.iniciar("xterm", "-e", "paplay", "--property=application.id=org.exemplo.Terminal",
                                       tom(tons["xterm"], 120)),
                    "paplay": s.iniciar("paplay", tom(tons["paplay"], 120)),
                }
                esperar(lambda: fluxos(s) >= len(tocadores), segundos=60, o_que="os fluxos de todos")
                aplicativos = listar(s)["aplicativos"]
                por_pid = {a["pid"]: a["id"] for a in aplicativos}
                self.assertEqual(len(por_pid), len(aplicativos), aplicativos)  # once each
                # Playing changes no id: what a stream calls itself does not name its application.
                self.assertEqual({nome: por_pid.get(p.pid) for nome, p in tocadores.items()},
                                 {"chromium": "chromium", "mpv": "mpv", "xterm": "xterm", "paplay": "pacat"})
                # Named as its desktop entry names it, not as its sound stream ("Chromium input").
                self.assertIn({"id": "chromium", "nome": nome_do_desktop("chromium"), "pid": tocadores["chromium"].pid},
                              aplicativos)
                for nome, p in tocadores.items():
                    with self.subTest(servidor=servidor, aplicativo=nome):
                        outros = [f for n, f in tons.items() if n != nome]
                        self.assertExcluidoPeloId(s, por_pid[p.pid], [tons[nome]], outros)


    def test_de_dentro_de_uma_caixa_de_areia(self):
        """escuta inside a Flatpak-shaped sandbox granted the PulseAudio and X11
        sockets, on a PipeWire desktop: the windows outside are listed (X gives
        them) without pids (none outside the sandbox's pid namespace is one
        there), as is a player outside; the host's own player inside keeps its
        pid; escuta itself is not listed. Asked, it says why it took the
        server it took."""
        with Sessao(tela="1024x768", pulse=True) as s:
            abrir_openbox(s)
            s.iniciar("xterm")
            s.iniciar("xeyes")
            esperar_janelas(s, 2)
            s.iniciar("paplay", tom(440))
            esperar(lambda: fluxos(s) == 1, o_que="o tocador de fora")
            # The host's player and escuta in one sandbox: its pid there first, then the listing.
            escuta = "/app/bin/" + os.path.basename(os.environ.get("ESCUTA", "escuta"))
            p = CaixaDeAreia(s, x11=True).popen(
                ["/usr/bin/sh", "-c", "pacat --property=application.id=org.exemplo.Anfitriao /dev/zero & echo $!; "
                 "until [ \"$(pactl list short sink-inputs | wc -l)\" -ge 2 ]; do sleep 0.05; done; "
                 f"ESCUTA_DEPURAR=1 exec {escuta} --listar"],
                extra=["--ro-bind", os.environ.get("ESCUTA", "escuta"), escuta])
            saida, erro = p.communicate(timeout=60)
            self.assertEqual(p.returncode, 0, erro)
            # Why this server: PipeWire's own socket was not granted.
            self.assertRegex(erro.decode(), r"\APulseAudio: PipeWire por trás do pipewire-pulse \(PulseAudio \(on "
                             r"PipeWire [0-9.]+\)\); em uso\nPipeWire: sem soquete em /run/user/0/pipewire-0\n\Z")
            pid_dentro, listagem = saida.split(b"\n", 1)
            aplicativos = json.loads(listagem)["aplicativos"]
            self.assertEqual(sorted((a["id"], a["pid"]) for a in aplicativos),
                             sorted([("xterm", 0), ("xeyes", 0), ("pacat", 0), ("org.exemplo.Anfitriao", int(pid_dentro))]),
                             aplicativos)


class Wayland(unittest.TestCase, Exclusao):
    """sway headless as a plain user, with XWayland."""

    def test_janelas_saidas_e_exclusao(self):
        tons = {"mpv": 600, "paplay": 1000}
        for servidor, forma in SERVIDORES.items():
            with self.subTest(servidor), Sessao(**forma) as s:
                sway = Sway(s)
                try:
                    # $DISPLAY set, XWayland not yet running: a listing must not start it.
                    s.env["DISPLAY"] = sway.display
                    doc = listar(s)
                    self.assertFalse(sway.xwayland_rodando())
                    self.assertEqual(doc["telas"], [{"id": fnv1a(o["name"]), "largura": o["rect"]["width"],
                                                     "altura": o["rect"]["height"]} for o in sway.saidas()])
                    janelas = {
                        "foot": s.iniciar("foot"),
                        "mpv": s.iniciar("mpv", "--no-config", "--vo=wlshm", "--force-window=yes", "--ao=pulse",
                                         "--loop", tom(tons["mpv"])),
                        "xeyes": sway.iniciar_x("xeyes"),
                    }
                    tocador = s.iniciar("paplay", tom(tons["paplay"], 120))
                    # Three programs and XWayland starting on a loaded machine: a minute, then say who came.
                    if not chegou(lambda: len(sway.vistas()) == len(janelas), segundos=60):
                        self.fail(f"as janelas no sway não vieram em 60 s: {sway.vistas()}, "
                                  f"{ {n: p.poll() for n, p in janelas.items()} }")
                    esperar(lambda: fluxos(s) == 2, o_que="os fluxos")
                    aplicativos = listar(s)["aplicativos"]
                    por_pid = {a["pid"]: a["id"] for a in aplicativos}
                    self.assertEqual(len(por_pid), len(aplicativos), aplicativos)
                    for id_, p in janelas.items():
                        with self.subTest(servidor=servidor, janela=id_):
                            self.assertEqual(por_pid.get(p.pid), id_, aplicativos)
                    self.assertExcluidoPeloId(s, por_pid[janelas["mpv"].pid], [tons["mpv"]], [tons["paplay"]])
                    self.assertExcluidoPeloId(s, por_pid[tocador.pid], [tons["paplay"]], [tons["mpv"]])
                finally:
                    sway.fechar()


def fnv1a(nome):
    h = 2166136261
    for c in nome.encode():
        h = ((h ^ c) * 16777619) % 2 ** 32
    return h


class Unidades(unittest.TestCase, Exclusao):
    """Processes in cgroups named as GNOME (a launcher's wrapper that stays,
    its child plays) and KDE (the program itself) name app units."""

    def test_listadas_pelo_desktop_id_e_excluidas_com_tudo_o_que_tocam(self):
        tons = {"org.exemplo.Radio": 500, "org.kde.exemplo.Tocador": 800, "pacat": 1200, "depois": 1500}
        for servidor, forma in SERVIDORES.items():
            with self.subTest(servidor), Sessao(tela="800x600", **forma) as s:
                unidades = UnidadesDeApp()
                try:
                    entrada_de_desktop(s, "org.exemplo.Radio", "Rádio Exemplo")
                    gnome = "app-gnome-org.exemplo.Radio-4242.scope"
                    radio = unidades.iniciar(s, gnome, "sh", "-c", 'paplay "$0"; sleep 1000', tom(tons["org.exemplo.Radio"], 120))
                    kde = unidades.iniciar(s, "app-org.kde.exemplo.Tocador@0a1b2c3d.service", "paplay",
                                           tom(tons["org.kde.exemplo.Tocador"], 120))
                    avulso = s.iniciar("paplay", tom(tons["pacat"], 120))
                    esperar(lambda: fluxos(s) == 3, o_que="os fluxos")
                    aplicativos = listar(s)["aplicativos"]
                    for esperado in ({"id": "org.exemplo.Radio", "nome": "Rádio Exemplo", "pid": radio.pid},
                                     {"id": "org.kde.exemplo.Tocador", "nome": "paplay", "pid": kde.pid},
                                     {"id": "pacat", "nome": "paplay", "pid": avulso.pid}):
                        self.assertIn(esperado, aplicativos)
                    # The wrapper's player is the unit's, not an application of its own.
                    filhos = ler(f"/proc/{radio.pid}/task/{radio.pid}/children").split()
                    self.assertEqual(len(filhos), 1)
                    self.assertNotIn(int(filhos[0]), [a["pid"] for a in aplicativos])
                    for id_ in ("org.kde.exemplo.Tocador", "pacat"):
                        with self.subTest(servidor=servidor, id=id_):
                            self.assertExcluidoPeloId(s, id_, [tons[id_]], [f for i, f in tons.items()
                                                                           if i not in (id_, "depois")])
                    # The unit's own and what it starts while the capture runs.
                    c = Captura(s, "--excluir-app", "org.exemplo.Radio")
                    self.assertEqual(c.esperar_pronto(), PRONTO)
                    unidades.iniciar(s, gnome, "paplay", tom(tons["depois"], 120))
                    esperar(lambda: fluxos(s) == 4, o_que="o fluxo novo da unidade")
                    esperar(lambda: len(c.dados) > TAXA * 8 and min(niveis(c, [800, 1200], 0.25).values()) > -40,
                            segundos=30, o_que="os outros")
                    c.esperar_audio(1.5, desde=len(c.dados))
                    n = niveis(c, tons.values())
                    c.parar()
                    self.assertLess(max(n[500], n[1500]), min(n[800], n[1200]) - 60, n)
                finally:
                    unidades.fechar()


if __name__ == "__main__":
    unittest.main(verbosity=2)
