#!/usr/bin/python3
"""escuta on either sound server: which one it picks, the limits it keeps,
and starts in a burst (several at once, as a desktop starts things)."""
import json
import os
import shutil
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sessao_de_som import PERMISSAO, PRONTO, Captura, Sessao, esperar, tom  # noqa: E402

# The desktops escuta meets: PulseAudio alone, PulseAudio with a bare PipeWire
# beside it (for screen sharing), and PipeWire with its PulseAudio server,
# reached through PipeWire's socket or, where it cannot be, pipewire-pulse's.
FORMAS = {
    "PulseAudio": dict(pipewire=False, pulseaudio=True),
    "PulseAudio com PipeWire ao lado": dict(pipewire=False, pulseaudio=True, pipewire_nu=True),
    "PipeWire com pipewire-pulse": dict(pipewire=True, pulse=True),
    "pipewire-pulse sem pipewire-0": dict(pipewire=True, pulse=True),
}
# One desktop of each sound server.
OS_DOIS = ("PulseAudio", "PipeWire com pipewire-pulse")
# Each backend escuta has.
OS_TRES = OS_DOIS + ("pipewire-pulse sem pipewire-0",)


def sessao(forma):
    s = Sessao(tela="800x600", **FORMAS[forma])
    if forma == "pipewire-pulse sem pipewire-0":
        s.sem_pipewire_0()
    return s


class Escolha(unittest.TestCase):
    """The server that owns the sound is the one used."""

    def test_o_dono_do_som_e_o_usado(self):
        for forma in FORMAS:
            with self.subTest(forma), sessao(forma) as s:
                tocador = s.iniciar("paplay", tom(440))
                c = Captura(s)
                self.assertEqual(c.esperar_pronto(), PRONTO)
                c.esperar_audio(0.5)
                # The PulseAudio backend keeps a paused watch on each device; the PipeWire one
                # links a node of its own (not one of pipewire-pulse's, which are named after
                # their client too).
                vigias = [o for o in s.pactl_json("list", "source-outputs")
                          if o["properties"].get("media.name") == "escuta (vigia)"]
                nos = [o["info"]["props"] for o in json.loads(s.rodar("pw-dump").stdout or "[]")
                       if o["type"].endswith("Node") and "props" in o.get("info", {})]
                no_do_pipewire = any(p.get("node.name") == "escuta" and p.get("client.api") != "pipewire-pulse"
                                     for p in nos)
                self.assertEqual((bool(vigias), no_do_pipewire), (True, False) if forma != "PipeWire com pipewire-pulse"
                                 else (False, True))
                c.parar()
                p = s.escuta("--listar")
                saida, _ = p.communicate(timeout=30)
                self.assertIn(tocador.pid, [a["pid"] for a in json.loads(saida)["aplicativos"]])


    def test_acesso_recusado_pelo_pulseaudio(self):
        """A PulseAudio that refuses escuta owns the sound all the same: the permission
        message, not the bare PipeWire beside it. The server trusts its own user, so
        escuta runs as another one, without the server's cookie."""
        with Sessao(tela="800x600", pipewire=False, pulseaudio=True, pulseaudio_fechado=True, pipewire_nu=True) as s:
            ninguem = os.path.join(s.pasta, "ninguem")
            os.mkdir(ninguem, 0o700)
            os.chown(ninguem, 65534, 65534)
            for pasta in (s.pasta, s.runtime, os.path.join(s.runtime, "pulse")):
                os.chmod(pasta, 0o755)
            escuta = shutil.copy(os.environ["ESCUTA"], s.pasta)
            # Its own session folder, the desktop's servers named as a user's session would find them.
            outro = {**s.env, "HOME": ninguem, "XDG_RUNTIME_DIR": ninguem,
                     "PULSE_SERVER": "unix:" + os.path.join(s.runtime, "pulse", "native"),
                     "PIPEWIRE_REMOTE": os.path.join(s.runtime, "pipewire-0")}
            for args, linha in ((["--listar"], '{"erro":"' + PERMISSAO + '"}\n'), (["--audio"], PERMISSAO + "\n")):
                with self.subTest(args):
                    p = subprocess.run([escuta, *args], env=outro, user=65534, capture_output=True, timeout=30)
                    self.assertEqual((p.returncode, p.stdout, p.stderr.decode()), (1, b"", linha))
            with open(os.path.join(s.pasta, "pulseaudio.log")) as log:
                self.assertIn("Denied access to client", log.read())


class Limites(unittest.TestCase):
    """Rates and channel counts at both ends of what escuta takes, and one past
    each, with a program playing: refused at once with the same words on every
    backend, or delivered at the rate asked; the server lives on."""
    NAO = "não consegui abrir a captura: "
    CASOS = ((["--taxa", "99"], NAO + "taxa de amostragem inválida: 99 (aceito de 100 a 192000)\n"),
             (["--taxa", "192001"], NAO + "taxa de amostragem inválida: 192001 (aceito de 100 a 192000)\n"),
             (["--taxa", "-1"], NAO + "taxa de amostragem inválida: -1 (aceito de 100 a 192000)\n"),
             (["--canais", "0"], NAO + "número de canais inválido: 0 (aceito de 1 a 32)\n"),
             (["--canais", "33"], NAO + "número de canais inválido: 33 (aceito de 1 a 32)\n"),
             (["--canais", "4294967298"], NAO + "número de canais inválido: 4294967298 (aceito de 1 a 32)\n"),
             (["--taxa", "100", "--canais", "1"], "pronto: 100 Hz, 1 canal(is), float32 intercalado no stdout\n"),
             (["--taxa", "192000", "--canais", "32"], "pronto: 192000 Hz, 32 canal(is), float32 intercalado no stdout\n"))

    def test_mesmas_palavras_em_todo_servidor(self):
        for forma in OS_TRES:
            with sessao(forma) as s:
                s.iniciar("paplay", tom(997, 120))
                esperar(lambda: s.entradas(), o_que="o tocador")
                for args, linha in self.CASOS:
                    with self.subTest(forma=forma, args=args):
                        c = Captura(s, *args)
                        self.assertEqual(c.esperar_pronto(), linha)
                        if linha.startswith("pronto"):
                            taxa, canais = int(args[args.index("--taxa") + 1]), int(args[args.index("--canais") + 1])
                            c.esperar_audio(1, taxa=taxa, canais=canais)  # at least the rate asked...
                            self.assertTrue(c.nao_adianta(taxa, canais))  # ...and not faster
                            self.assertIsNone(c.p.poll())
                            c.parar()
                        else:
                            self.assertEqual(c.p.wait(timeout=10), 1)
                            self.assertEqual(c.parar(), b"")
                        self.assertEqual(s.rodar("pactl", "info").returncode, 0)


def ao_mesmo_tempo(comandos):
    """Starts every command at the same moment (a barrier, then Popen) and gives the processes."""
    barreira = threading.Barrier(len(comandos))
    processos = [None] * len(comandos)

    def iniciar(k):
        barreira.wait()
        processos[k] = comandos[k]()

    threads = [threading.Thread(target=iniciar, args=(k,)) for k in range(len(comandos))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return processos


class Rajadas(unittest.TestCase):
    """Started together, every one starts; a listing never holds one still connecting."""
    RODADAS_DE_CAPTURA, RODADAS_DE_LISTAGEM = 40, 60

    def test_tres_capturas_de_uma_vez(self):
        for forma in OS_TRES:
            with self.subTest(forma), sessao(forma) as s:
                s.iniciar("paplay", tom(440, 120))
                falhas = []
                for rodada in range(self.RODADAS_DE_CAPTURA):
                    capturas = ao_mesmo_tempo([lambda: Captura(s), lambda: Captura(s),
                                               lambda: Captura(s, "--excluir-app", "pacat")])
                    for c in capturas:
                        linha = c.esperar_pronto()
                        if linha != PRONTO:
                            falhas.append((rodada, linha))
                    for c in capturas:
                        c.parar()
                self.assertEqual(falhas, [])

    def test_quatro_listagens_de_uma_vez(self):
        for forma in OS_TRES:
            with self.subTest(forma), sessao(forma) as s:
                s.iniciar("paplay", tom(440, 120))
                esperar(lambda: "pacat" in s.rodar("pactl", "list", "clients").stdout, o_que="o tocador")
                ruins = []
                for rodada in range(self.RODADAS_DE_LISTAGEM):
                    for p in ao_mesmo_tempo([lambda: s.escuta("--listar")] * 4):
                        saida, erro = p.communicate(timeout=30)
                        if p.returncode != 0:
                            ruins.append((rodada, p.returncode, erro.decode()))
                            continue
                        # Every client these sessions hold says who it is: an entry without
                        # a pid or an id is one listed before it had, or after its program ended.
                        ruins += [(rodada, a) for a in json.loads(saida)["aplicativos"] if not a["id"] or not a["pid"]]
                self.assertEqual(ruins, [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
