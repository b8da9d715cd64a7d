#!/usr/bin/python3
"""escuta end to end on a PulseAudio desktop: Debian's own PulseAudio daemon,
the programs people play sound with, Xvfb; alone, and with a bare PipeWire
beside it as desktops that share screens run it."""
import json
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sessao_de_som import PRONTO, TONS, Captura, Sessao, esperar, nivel_de_tom_db  # noqa: E402

TAXA = 48000


def tom_estereo(esquerda, direita, segundos=60, amplitude=0.125):
    """A WAV with one frequency on each channel, so that a swapped or wrongly folded channel shows."""
    caminho = os.path.join(TONS, f"estereo-{esquerda}-{direita}-{segundos}-{amplitude}.wav")
    if not os.path.exists(caminho):
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                        f"aevalsrc={amplitude}*sin(2*PI*{esquerda}*t)|{amplitude}*sin(2*PI*{direita}*t)"
                        f":s={TAXA}:d={segundos}", "-c:a", "pcm_s16le", caminho], check=True)
    return caminho


def gravador_do_fluxo(sessao, entrada):
    """parec on one stream's monitor: what the server itself gives for that stream."""
    return Captura(sessao, processo=subprocess.Popen(
        ["parec", f"--monitor-stream={entrada}", "--format=float32le", f"--rate={TAXA}", "--channels=2", "--raw",
         "--latency-msec=20"], env=sessao.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL))


def niveis(captura, frequencias, segundos=1.0):
    """dB of each (left, right) pair of frequencies in the last `segundos`, per channel."""
    esquerda, direita = captura.canais(segundos)
    return {par: (nivel_de_tom_db(esquerda, TAXA, par[0]), nivel_de_tom_db(direita, TAXA, par[1]))
            for par in frequencias}


def todos_ouvidos(captura, frequencias, limiar=-40):
    """Every (left, right) pair heard in the last quarter second. A stream that was
    already playing is heard only once its sink has played what it had rendered
    ahead (up to 2 s for paplay alone on a device), parec's own wait too."""
    if len(captura.dados) < TAXA * 8:
        return False
    return all(min(par) > limiar for par in niveis(captura, frequencias, segundos=0.25).values())


class ClientesReais(unittest.TestCase):
    """Seven programs, each its own way to PulseAudio, each with its own two
    frequencies (left, right); one plays on the second device."""
    PIPEWIRE_AO_LADO = False
    TONS = {"paplay": (410, 530), "tocador_pulse": (650, 770), "aplay": (1130, 1250),
            "gst-launch-1.0": (1370, 1490), "mpv": (1610, 1730), "ffplay": (1850, 1970),
            "paplay-fones": (2090, 2210)}
    SEGUNDO_FLUXO = (890, 1010)  # what tocador_pulse opens while a capture runs
    IDS = {"paplay": "pacat", "tocador_pulse": "tocador_pulse", "aplay": "aplay", "gst-launch-1.0": "gst-launch-1.0",
           "mpv": "mpv", "ffplay": "ffplay", "paplay-fones": "paplay-fones"}

    def setUp(self):
        self.s = Sessao(tela="800x600", pipewire=False, pulseaudio=True, pipewire_nu=self.PIPEWIRE_AO_LADO)
        self.addCleanup(self.s.fechar)
        self.tocadores = self.tocar_todos()
        esperar(lambda: len(self.s.entradas()) >= len(self.TONS), segundos=30, o_que="os fluxos de todos os tocadores")

    def tocar_todos(self):
        s, t = self.s, self.TONS
        fones = os.path.join(s.pasta, "paplay-fones")
        shutil.copy(shutil.which("pacat"), fones)
        # SDL would pick a PipeWire beside PulseAudio if it could; a desktop whose sound is PulseAudio's sets it so.
        sdl = {**s.env, "SDL_AUDIODRIVER": "pulseaudio"}
        self.tocador_pulse = s.iniciar_com_entrada(os.environ["TOCADOR_PULSE"], *map(str, t["tocador_pulse"]),
                                                   *map(str, self.SEGUNDO_FLUXO))
        return {
            "paplay": s.iniciar("paplay", tom_estereo(*t["paplay"])),
            "tocador_pulse": self.tocador_pulse,
            "aplay": s.iniciar("aplay", "-q", "-D", "pulse", tom_estereo(*t["aplay"])),
            "gst-launch-1.0": s.iniciar("gst-launch-1.0", "-q", "filesrc", f"location={tom_estereo(*t['gst-launch-1.0'])}",
                                        "!", "wavparse", "!", "audioconvert", "!", "pulsesink"),
            "mpv": s.iniciar("mpv", "--no-config", "--no-video", "--really-quiet", "--ao=pulse", tom_estereo(*t["mpv"])),
            "ffplay": s.iniciar_com_env(sdl, "ffplay", "-nodisp", "-autoexit", "-loglevel", "error",
                                        tom_estereo(*t["ffplay"])),
            "paplay-fones": s.iniciar(fones, "--device=outro-sink", tom_estereo(*t["paplay-fones"])),
        }

    def listar(self):
        p = self.s.escuta("--listar")
        saida, erro = p.communicate(timeout=30)
        self.assertEqual((p.returncode, erro), (0, b""))
        return json.loads(saida)["aplicativos"]

    def test_listados_uma_vez_com_pid_e_id(self):
        aplicativos = self.listar()
        pids = [a["pid"] for a in aplicativos]
        self.assertEqual(len(pids), len(set(pids)), aplicativos)
        por_pid = {a["pid"]: a for a in aplicativos}
        for nome, tocador in self.tocadores.items():
            with self.subTest(nome):
                self.assertIn(tocador.pid, por_pid, aplicativos)
                self.assertEqual(por_pid[tocador.pid]["id"], self.IDS[nome])
                self.assertTrue(por_pid[tocador.pid]["nome"])
        self.assertFalse([a for a in aplicativos if a["id"] in ("escuta", "pulseaudio")], aplicativos)

    def test_ouvidos_como_o_servidor_os_da(self):
        """Each stream heard at the level, per channel, that parec reads from that stream's own monitor."""
        c = Captura(self.s)
        self.assertEqual(c.esperar_pronto(), PRONTO)
        por_pid = {int(e["properties"]["application.process.id"]): e["index"] for e in self.s.entradas()}
        gravadores = {nome: gravador_do_fluxo(self.s, por_pid[t.pid]) for nome, t in self.tocadores.items()}
        esperar(lambda: all(todos_ouvidos(g, [self.TONS[nome]]) for nome, g in gravadores.items())
                and todos_ouvidos(c, self.TONS.values()), segundos=30, o_que="o som de todos os fluxos")
        marca = len(c.dados)
        c.esperar_audio(1.5, desde=marca)
        ouvido = niveis(c, self.TONS.values())
        for nome, g in gravadores.items():
            dado = niveis(g, [self.TONS[nome]])[self.TONS[nome]]
            g.parar()
            with self.subTest(nome):
                for canal in (0, 1):
                    self.assertGreater(dado[canal], -30, (nome, dado))
                    self.assertAlmostEqual(ouvido[self.TONS[nome]][canal], dado[canal], delta=1.0)
                # Not crossed: each channel's tone is absent from the other channel.
                trocado = niveis(c, [self.TONS[nome][::-1]])[self.TONS[nome][::-1]]
                self.assertLess(max(trocado), min(dado) - 60, (nome, trocado, dado))
        c.parar()

    def test_cada_um_excluido_pelo_id(self):
        ids = {a["pid"]: a["id"] for a in self.listar()}
        for nome, tocador in self.tocadores.items():
            with self.subTest(nome):
                c = Captura(self.s, "--excluir-app", ids[tocador.pid])
                self.assertEqual(c.esperar_pronto(), PRONTO)
                tons = dict(self.TONS)
                if nome == "tocador_pulse":  # and the stream it opens now
                    self.tocador_pulse.stdin.write(b"segundo\n")
                    self.tocador_pulse.stdin.flush()
                    esperar(lambda: len(self.s.entradas()) > len(self.TONS), o_que="o segundo fluxo")
                    tons["segundo fluxo"] = self.SEGUNDO_FLUXO
                excluidos = [tons[nome]] + ([self.SEGUNDO_FLUXO] if nome == "tocador_pulse" else [])
                # Every other is heard; then a steady second and a half is measured.
                esperar(lambda: todos_ouvidos(c, [par for par in tons.values() if par not in excluidos]), segundos=30,
                        o_que="o som dos outros")
                c.esperar_audio(1.5, desde=len(c.dados))
                n = niveis(c, tons.values())
                c.parar()
                ouvidos = [min(n[par]) for par in tons.values() if par not in excluidos]
                for par in excluidos:
                    self.assertLess(max(n[par]), min(ouvidos) - 60, (nome, n))


class ClientesReaisComPipeWireAoLado(ClientesReais):
    PIPEWIRE_AO_LADO = True


def envelope(amostras, bloco=96):
    """Peak of each 2 ms block."""
    return [max(map(abs, amostras[k:k + bloco])) for k in range(0, len(amostras) - bloco + 1, bloco)]


def silencios_ms(amostras, limiar):
    """Lengths of the stretches under `limiar` between the first and the last sound."""
    env = envelope(amostras)
    alto = [k for k, v in enumerate(env) if v >= limiar]
    buracos, atual = [], 0
    for v in env[alto[0]:alto[-1] + 1] if alto else []:
        if v < limiar:
            atual += 1
        elif atual:
            buracos.append(atual * 2)
            atual = 0
    return buracos


def maior_passo(amostras):
    return max((abs(b - a) for a, b in zip(amostras, amostras[1:])), default=0.0)


class UmFluxo(unittest.TestCase):
    """One program's stream as it starts, moves, pauses and ends, and the server going away."""
    HZ, AMPLITUDE = 1000, 0.1
    PASSO_DO_TOM = 2 * 3.14159 * HZ / TAXA * AMPLITUDE  # the largest step the tone itself makes

    def setUp(self):
        self.s = Sessao(tela="800x600", pipewire=False, pulseaudio=True)
        self.addCleanup(self.s.fechar)

    def capturar(self):
        c = Captura(self.s)
        self.assertEqual(c.esperar_pronto(), PRONTO)
        return c

    def tocador(self):
        t = self.s.iniciar_com_entrada(os.environ["TOCADOR_PULSE"], str(self.HZ), str(self.HZ))
        esperar(lambda: self.s.entradas(), o_que="o fluxo do tocador")
        return t

    def ouvindo(self, c):
        return len(c.dados) >= TAXA * 8 and max(envelope(c.canais(0.05)[0])) > self.AMPLITUDE / 2

    def assertSemEstalo(self, amostras):
        self.assertLess(maior_passo(amostras), self.PASSO_DO_TOM * 1.1 + 1e-4)

    def test_movido_ouvido_de_novo_em_100_ms(self):
        self.tocador()
        c = self.capturar()
        esperar(lambda: self.ouvindo(c), segundos=30, o_que="o tocador")
        marca = len(c.dados)
        for destino in ("outro-sink", "teste-sink"):
            sink = next(d["index"] for d in self.s.pactl_json("list", "sinks") if d["name"] == destino)
            self.s.rodar("pactl", "move-sink-input", str(self.s.entradas()[0]["index"]), destino)
            esperar(lambda: self.s.entradas()[0]["sink"] == sink, o_que=f"o fluxo em {destino}")
            c.esperar_audio(1, desde=len(c.dados))
        depois = c.canais((len(c.dados) - marca) / (TAXA * 8))[0]
        c.parar()
        buracos = silencios_ms(depois, self.AMPLITUDE / 2)
        self.assertLessEqual(len(buracos), 2, buracos)  # at most one gap a move, none else
        self.assertLessEqual(max(buracos, default=0), 100, buracos)
        self.assertSemEstalo(depois)

    def test_fluxo_novo_inteiro_e_sem_estalo(self):
        c = self.capturar()
        c.esperar_audio(0.5)
        curto = tom_estereo(self.HZ, self.HZ, segundos=1, amplitude=self.AMPLITUDE)
        marca = len(c.dados)
        self.s.rodar("paplay", curto)  # returns once it has played
        c.esperar_audio(0.5, desde=len(c.dados))
        esquerda = c.canais((len(c.dados) - marca) / (TAXA * 8))[0]
        c.parar()
        alto = [k for k, v in enumerate(envelope(esquerda)) if v >= self.AMPLITUDE / 2]
        self.assertGreaterEqual((alto[-1] - alto[0] + 1) * 2, 950)  # at most 50 ms of its second lost
        self.assertEqual(silencios_ms(esquerda, self.AMPLITUDE / 2), [])
        self.assertSemEstalo(esquerda)

    def test_pausado_solta_o_dispositivo(self):
        t = self.tocador()
        c = self.capturar()
        lendo = lambda: [o for o in self.s.capturas_do_escuta() if not o["corked"]]  # noqa: E731
        esperar(lambda: len(lendo()) == 1, o_que="a captura do fluxo")
        esperar(lambda: self.ouvindo(c), segundos=30, o_que="o tocador")
        estado = lambda: next(d["state"] for d in self.s.pactl_json("list", "sinks") if d["name"] == "teste-sink")  # noqa: E731
        for comando, capturas, dispositivo in ((b"pausar\n", 0, "SUSPENDED"), (b"continuar\n", 1, "RUNNING")):
            t.stdin.write(comando)
            t.stdin.flush()
            esperar(lambda: len(lendo()) == capturas, o_que=f"{capturas} captura(s) depois de {comando!r}")
            # Paused, nothing of escuta's keeps the device awake.
            esperar(lambda: estado() == dispositivo, o_que=f"o dispositivo {dispositivo} depois de {comando!r}")
        esperar(lambda: self.ouvindo(c), o_que="o tocador de novo")
        self.assertIsNone(c.p.poll())
        c.parar()

    def test_servidor_some(self):
        c = self.capturar()
        c.esperar_audio(0.2)
        self.s.matar_pulseaudio()
        c.p.wait(timeout=5)
        self.assertEqual(c.p.returncode, 1)
        self.assertTrue(c.p.stderr.read().decode().startswith("captura interrompida: conexão com o PulseAudio perdida: "))
        c.parar()


if __name__ == "__main__":
    unittest.main(verbosity=2)
