#!/usr/bin/python3
"""escuta end to end with the programs people play sound with, on a
PulseAudio desktop (Debian's own daemon; alone, and with a bare PipeWire
beside it as desktops that share screens run it), and, with ESCUTA_FORMA,
on another of FORMAS: inside a Flatpak-shaped sandbox, or through
pipewire-pulse without PipeWire's own socket."""
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from caixa_de_areia import CaixaDeAreia  # noqa: E402
from sessao_de_som import PRONTO, TONS, Captura, Sessao, chegou, esperar, medido_duas_vezes, nivel_de_tom_db  # noqa: E402

TAXA = 48000


class Forma:
    """A desktop's sound server, and how escuta reaches it."""

    def __init__(self, pulseaudio, caixa=None, sem_pipewire_0=False):
        self.pulseaudio = pulseaudio  # Debian's PulseAudio daemon; else PipeWire with pipewire-pulse
        self.caixa = caixa  # CaixaDeAreia's options, for escuta in the sandbox
        self.sem_pipewire_0 = sem_pipewire_0
        # The backend escuta uses: PulseAudio's protocol unless PipeWire's own socket is there.
        self.pelo_pulse = pulseaudio or sem_pipewire_0 or not (caixa or {}).get("pipewire_0")
        self.pids_daqui = caixa is None  # a sandbox has its own pid namespace

    def sessao(self, pipewire_ao_lado=False):
        if self.pulseaudio:
            s = Sessao(tela="800x600", pipewire=False, pulseaudio=True, pipewire_nu=pipewire_ao_lado)
        else:
            s = Sessao(tela="800x600", pulse=True)
            try:  # the second device that the PulseAudio sessions have; the first stays the default
                s.criar_sink("outro-sink", ["FL", "FR"])
                s.tornar_padrao(s.id_do_no("teste-sink"))
            except BaseException:
                s.fechar()
                raise
        if self.caixa is not None:
            s.rodar_escuta = CaixaDeAreia(s, **self.caixa).escuta
        elif self.sem_pipewire_0:
            s.sem_pipewire_0()
        return s

    def matar_servidor(self, s):
        """The server escuta talks to."""
        p = s.pulseaudio or (s.pipewire_pulse if self.pelo_pulse else s.pipewire)
        p.send_signal(signal.SIGKILL)
        p.wait()


FORMAS = {
    "pulseaudio": Forma(pulseaudio=True),
    "pipewire-pulse": Forma(pulseaudio=False, sem_pipewire_0=True),
    "caixa-pulseaudio": Forma(pulseaudio=True, caixa={}),
    "caixa-pipewire-pulse": Forma(pulseaudio=False, caixa={}),
    "caixa-pipewire": Forma(pulseaudio=False, caixa={"pipewire_0": True}),
}
FORMA = FORMAS[os.environ.get("ESCUTA_FORMA", "pulseaudio")]


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


def niveis(captura, frequencias, segundos=1.0, mediana=False):
    """dB of each (left, right) pair of frequencies in the last `segundos`, per channel.
    `mediana`: the median of its tenths of a second. A player that runs short on a
    loaded machine (parec hears it too) leaves a gap, which escuta and parec do not
    hear in the same second, and clicks, which sound at every frequency for a moment."""
    esquerda, direita = captura.canais(segundos)
    nivel = nivel_mediano_db if mediana else nivel_de_tom_db
    return {par: (nivel(esquerda, TAXA, par[0], JANELA), nivel(direita, TAXA, par[1], JANELA)) for par in frequencias}


# Levels are read in 50 ms windows: a device escuta reads a little faster for
# a while, to bring its queues back down after late deliveries, plays its
# tones up to 0.3 % higher (7 Hz at 2.3 kHz, 1.5 dB off in a 100 ms window);
# the programs' tones stay 120 Hz apart, beyond the window's main lobe.
JANELA = 0.05


def nivel_mediano_db(amostras, taxa, frequencia, janela=JANELA):
    decimo = taxa // 10
    return statistics.median(nivel_de_tom_db(amostras[k:k + decimo], taxa, frequencia, janela)
                             for k in range(0, len(amostras) - decimo + 1, decimo))


def todos_ouvidos(captura, frequencias, limiar=-40):
    """Every (left, right) pair heard in the last quarter second. A stream that was
    already playing is heard only once its sink has played what it had rendered
    ahead (up to 2 s for paplay alone on a device), parec's own wait too."""
    if len(captura.dados) < TAXA * 8:
        return False
    return all(min(par) > limiar for par in niveis(captura, frequencias, segundos=0.25).values())


class ClientesReais(unittest.TestCase):
    """Seven programs, each its own way to PulseAudio's protocol, each with its
    own two frequencies (left, right); one plays on the second device. On
    PipeWire a native client too."""
    PIPEWIRE_AO_LADO = False
    TONS = {"paplay": (410, 530), "tocador_pulse": (650, 770), "aplay": (1130, 1250),
            "gst-launch-1.0": (1370, 1490), "mpv": (1610, 1730), "ffplay": (1850, 1970),
            "paplay-fones": (2090, 2210)}
    SEGUNDO_FLUXO = (890, 1010)  # what tocador_pulse opens while a capture runs
    IDS = {"paplay": "pacat", "tocador_pulse": "tocador_pulse", "aplay": "aplay", "gst-launch-1.0": "gst-launch-1.0",
           "mpv": "mpv", "ffplay": "ffplay", "paplay-fones": "paplay-fones", "nativo": "nativo"}

    def setUp(self):
        self.s = FORMA.sessao(pipewire_ao_lado=self.PIPEWIRE_AO_LADO)
        self.addCleanup(self.s.fechar)
        if not FORMA.pulseaudio:
            self.TONS = {**self.TONS, "nativo": (2330, 2450)}
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
        tocadores = {
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
        if "nativo" in t:  # PipeWire's own protocol
            tocadores["nativo"] = s.tocar("nativo", tom_estereo(*t["nativo"]))
        return tocadores

    def listar(self):
        p = self.s.escuta("--listar")
        saida, erro = p.communicate(timeout=30)
        self.assertEqual((p.returncode, erro), (0, b""))
        return json.loads(saida)["aplicativos"]

    def test_listados_uma_vez_com_pid_e_id(self):
        """Once each, under its id; with its pid, but inside a sandbox, whose pid
        namespace holds none of them (0)."""
        aplicativos = self.listar()
        for nome, tocador in self.tocadores.items():
            with self.subTest(nome):
                seus = [a for a in aplicativos if a["id"] == self.IDS[nome]]
                self.assertEqual([a["pid"] for a in seus], [tocador.pid if FORMA.pids_daqui else 0], aplicativos)
                self.assertTrue(seus[0]["nome"])
        if FORMA.pids_daqui:
            pids = [a["pid"] for a in aplicativos]
            self.assertEqual(len(pids), len(set(pids)), aplicativos)
        self.assertFalse([a for a in aplicativos if a["id"] in ("escuta", "pulseaudio", "pipewire", "wireplumber")
                          or a["nome"] == "escuta"], aplicativos)

    @medido_duas_vezes
    def test_ouvidos_como_o_servidor_os_da(self):
        """Each stream heard at the level, per channel, that parec reads from that stream's own monitor."""
        c = Captura(self.s)
        self.assertEqual(c.esperar_pronto(), PRONTO)
        # A native PipeWire client's stream names no process: its client does.
        clientes = {str(c["index"]): c["properties"] for c in self.s.pactl_json("list", "clients")}
        por_pid = {int(e["properties"].get("application.process.id")
                       or clientes[str(e["client"])]["application.process.id"]): e["index"] for e in self.s.entradas()}
        gravadores = {nome: gravador_do_fluxo(self.s, por_pid[t.pid]) for nome, t in self.tocadores.items()}
        esperar(lambda: all(todos_ouvidos(g, [self.TONS[nome]]) for nome, g in gravadores.items())
                and todos_ouvidos(c, self.TONS.values()), segundos=30, o_que="o som de todos os fluxos")
        marca = len(c.dados)
        c.esperar_audio(1.5, desde=marca)
        ouvido = niveis(c, self.TONS.values(), mediana=True)
        fora = []  # every program's figures that miss, so that one measurement tells of them all
        for nome, g in gravadores.items():
            dado = niveis(g, [self.TONS[nome]], mediana=True)[self.TONS[nome]]
            g.parar()
            # Not crossed: each channel's tone is absent from the other channel.
            trocado = niveis(c, [self.TONS[nome][::-1]], mediana=True)[self.TONS[nome][::-1]]
            if (min(dado) <= -30 or max(abs(o - d) for o, d in zip(ouvido[self.TONS[nome]], dado)) > 1.0
                    or max(trocado) >= min(dado) - 60):
                fora.append((nome, {"dado": dado, "ouvido": ouvido[self.TONS[nome]], "trocado": trocado}))
        c.parar()
        self.assertEqual(fora, [])

    @medido_duas_vezes
    def test_cada_um_excluido_pelo_id(self):
        listados = {a["id"] for a in self.listar()}
        self.assertLessEqual({self.IDS[nome] for nome in self.tocadores}, listados)
        vazados = []  # every leak, so that one measurement tells of them all
        for nome in self.tocadores:
            c = Captura(self.s, "--excluir-app", self.IDS[nome])
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
            n = niveis(c, tons.values(), segundos=1.5, mediana=True)
            c.parar()
            ouvidos = [min(n[par]) for par in tons.values() if par not in excluidos]
            vazados += [(nome, n) for par in excluidos if max(n[par]) >= min(ouvidos) - 60]
        self.assertEqual(vazados, [])


if FORMA is FORMAS["pulseaudio"]:
    class ClientesReaisComPipeWireAoLado(ClientesReais):
        PIPEWIRE_AO_LADO = True


def mover(sessao, entrada, destino):
    """Moves a stream to the sink named `destino`. pipewire-pulse with
    WirePlumber 0.4 now and then leaves a stream with a per-stream capture
    where it was (parec's too): the move is asked again until it holds."""
    sink = next(d["index"] for d in sessao.pactl_json("list", "sinks") if d["name"] == destino)

    def movido():
        if any(e["index"] == entrada and e["sink"] == sink for e in sessao.entradas()):
            return True
        sessao.rodar("pactl", "move-sink-input", str(entrada), destino)
        return chegou(lambda: any(e["index"] == entrada and e["sink"] == sink for e in sessao.entradas()), 1)

    esperar(movido, o_que=f"o fluxo {entrada} em {destino}")


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


def esquerda_desde(captura, marca=0):
    """The left channel of all that `captura` got after byte `marca` (stereo, TAXA)."""
    return captura.canais((len(captura.dados) - marca) / (TAXA * 8))[0]


def maior_passo(amostras):
    return max((abs(b - a) for a, b in zip(amostras, amostras[1:])), default=0.0)


class UmFluxo(unittest.TestCase):
    """One program's stream as it starts, moves, pauses and ends, and the server going away.

    Clicks are looked for only through the PulseAudio backend. On PipeWire a
    stream that moves, ends or is joined by another stops and starts
    mid-wave on the devices themselves (parec on their monitors hears the
    same clicks), and PipeWire's own backend, which links the streams'
    ports, hears them as they are; the PulseAudio backend reads each stream
    apart and fades what starts and ends."""
    HZ, AMPLITUDE = 1000, 0.1
    PASSO_DO_TOM = 2 * 3.14159 * HZ / TAXA * AMPLITUDE  # the largest step the tone itself makes
    # What a stream that starts plays before its capture is there to hear it. PulseAudio renders
    # ahead, and the capture gets it all; pipewire-pulse gives the capture what the stream plays
    # from the moment the capture is linked to it (measured: 60 ms later).
    PERDIDO_NO_INICIO_MS = 100 if FORMA.pelo_pulse and not FORMA.pulseaudio else 50

    def setUp(self):
        self.s = FORMA.sessao()
        self.addCleanup(self.s.fechar)

    def capturar(self, *args):
        c = Captura(self.s, *args)
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

    @medido_duas_vezes
    def test_movido_ouvido_de_novo_em_100_ms(self):
        self.tocador()
        entrada = self.s.entradas()[0]["index"]
        # PipeWire 1.4 now and then cuts the moved stream itself mid-wave (parec on
        # it hears the step): escuta must add no step of its own.
        proprio = gravador_do_fluxo(self.s, entrada)
        c = self.capturar()
        esperar(lambda: self.ouvindo(c), segundos=30, o_que="o tocador")
        marcas, marca_proprio = [], len(proprio.dados)
        for destino in ("outro-sink", "teste-sink"):
            marcas.append(len(c.dados))
            mover(self.s, entrada, destino)
            c.esperar_audio(1, desde=len(c.dados))
        depois = esquerda_desde(c, marcas[0])
        c.parar()
        dado = esquerda_desde(proprio, marca_proprio)
        proprio.parar()
        # Each move heard again within 100 ms: all its silences together, one gap or
        # two short ones (PipeWire 1.4's next delivery may come a cycle late).
        segunda = (marcas[1] - marcas[0]) // 8
        for trecho in (depois[:segunda], depois[segunda:]):
            buracos = silencios_ms(trecho, self.AMPLITUDE / 2)
            self.assertLessEqual(sum(buracos), 100, buracos)
        if FORMA.pelo_pulse:  # see the class's note
            self.assertLess(maior_passo(depois), max(maior_passo(dado), self.PASSO_DO_TOM) * 1.1 + 1e-4)

    @medido_duas_vezes
    def test_fluxo_novo_inteiro_e_sem_estalo(self):
        c = self.capturar()
        c.esperar_audio(0.5)
        curto = tom_estereo(self.HZ, self.HZ, segundos=1, amplitude=self.AMPLITUDE)
        marca = len(c.dados)
        self.s.rodar("paplay", curto)  # returns once it has played
        c.esperar_audio(0.5, desde=len(c.dados))
        esquerda = esquerda_desde(c, marca)
        c.parar()
        alto = [k for k, v in enumerate(envelope(esquerda)) if v >= self.AMPLITUDE / 2]
        self.assertGreaterEqual((alto[-1] - alto[0] + 1) * 2, 1000 - self.PERDIDO_NO_INICIO_MS)
        # A delivery later than the hold (a loaded machine) is a faded gap, once, and short.
        buracos = silencios_ms(esquerda, self.AMPLITUDE / 2)
        self.assertLessEqual(len(buracos), 1, buracos)
        self.assertLessEqual(max(buracos, default=0), 50, buracos)
        if FORMA.pelo_pulse:  # see the class's note
            self.assertSemEstalo(esquerda)

    def test_pausado_solta_o_dispositivo(self):
        if not FORMA.pelo_pulse:  # PipeWire's own backend has no per-stream captures to close
            return
        t = self.tocador()
        c = self.capturar()
        lendo = lambda: [o for o in self.s.capturas_do_escuta() if not o["corked"]]  # noqa: E731
        esperar(lambda: len(lendo()) == 1, o_que="a captura do fluxo")
        esperar(lambda: self.ouvindo(c), segundos=30, o_que="o tocador")
        estado = lambda: next(d["state"] for d in self.s.pactl_json("list", "sinks") if d["name"] == "teste-sink")  # noqa: E731
        t.stdin.write(b"pausar\n")
        t.stdin.flush()
        esperar(lambda: not lendo(), o_que="nenhuma captura depois de pausar")
        # Paused, nothing of escuta's keeps the device awake.
        esperar(lambda: estado() == "SUSPENDED", o_que="o dispositivo suspenso")
        t.stdin.write(b"continuar\n")
        t.stdin.flush()
        esperar(lambda: len(lendo()) == 1, o_que="a captura depois de continuar")
        esperar(lambda: self.ouvindo(c), o_que="o tocador de novo")
        self.assertIsNone(c.p.poll())
        c.parar()

    @medido_duas_vezes
    def test_excluido_acaba_e_outro_comeca(self):
        """The excluded program ends while another plays on and a third starts: no
        click, no gap beyond 50 ms, the new one heard from its start."""
        excluido = os.path.join(self.s.pasta, "excluido")
        shutil.copy(shutil.which("pacat"), excluido)
        self.s.iniciar(excluido, tom_estereo(3000, 3000))
        tocador = self.tocador()  # plays on, at HZ
        # What the server gives of the one that plays on: a player runs short now and
        # then on a loaded machine (parec hears the same step), escuta must add none.
        def do_tocador():
            return [e["index"] for e in self.s.entradas()
                    if e["properties"].get("application.process.id") == str(tocador.pid)]
        esperar(do_tocador, o_que="o fluxo do tocador")
        proprio = gravador_do_fluxo(self.s, do_tocador()[0])
        c = self.capturar("--excluir-app", "excluido")
        esperar(lambda: self.ouvindo(c), segundos=30, o_que="o tocador")
        marca, marca_proprio = len(c.dados), len(proprio.dados)
        for p in self.s.processos:
            if p.args[0] == excluido:
                p.kill()
        self.s.iniciar("paplay", tom_estereo(1500, 1500, segundos=1, amplitude=self.AMPLITUDE))
        esperar(lambda: self.s.entradas() and not [e for e in self.s.entradas()
                                                   if e["properties"].get("application.process.binary") == "excluido"],
                o_que="o fim do excluído")
        c.esperar_audio(2, desde=marca)
        esquerda = esquerda_desde(c, marca)
        c.parar()
        dado = esquerda_desde(proprio, marca_proprio)
        proprio.parar()
        self.assertLess(nivel_mediano_db(esquerda, TAXA, 3000), -80)
        self.assertLessEqual(max(silencios_ms(esquerda, self.AMPLITUDE / 2), default=0), 50)
        # The new program's steps (its tone is 1.5 times higher) on top of the other's own.
        if FORMA.pelo_pulse:  # see the class's note
            self.assertLess(maior_passo(esquerda), self.PASSO_DO_TOM * 1.6 + max(maior_passo(dado), self.PASSO_DO_TOM))
        novo = [k for k in range(0, len(esquerda) - 480, 480)
                if nivel_de_tom_db(esquerda[k:k + 480], TAXA, 1500, janela=0.01) > -40]
        self.assertGreaterEqual(len(novo) * 10, 1000 - self.PERDIDO_NO_INICIO_MS)

    def test_servidor_some(self):
        """Killed while programs start and end: the stop notice and status 1."""
        self.tocador()
        c = self.capturar()
        c.esperar_audio(0.2)
        curtos = [self.s.iniciar("paplay", tom_estereo(1200 + 100 * k, 1200 + 100 * k, segundos=1)) for k in range(4)]
        esperar(lambda: len(self.s.entradas()) >= 3, o_que="os programas curtos")
        FORMA.matar_servidor(self.s)
        c.p.wait(timeout=5)
        self.assertEqual(c.p.returncode, 1)
        self.assertTrue(c.p.stderr.read().decode().startswith("captura interrompida: "))
        c.parar()
        for t in curtos:
            t.wait(timeout=10)


class SemMicrofone(unittest.TestCase):
    """The default source plays a tone, as a microphone hears a room. For a
    minute programs come, move between devices, pause, end and are left out:
    the tone never reaches escuta's output."""
    MICROFONE = 440
    SEGUNDOS = 60

    def test_um_minuto(self):
        s = FORMA.sessao()
        self.addCleanup(s.fechar)
        s.microfone()
        excluido = os.path.join(s.pasta, "excluido")
        shutil.copy(shutil.which("pacat"), excluido)
        t = s.iniciar_com_entrada(os.environ["TOCADOR_PULSE"], "1200", "1300")
        esperar(lambda: s.entradas(), o_que="o fluxo do tocador")
        c = Captura(s, "--excluir-app", "excluido")
        self.assertEqual(c.esperar_pronto(), PRONTO)
        fluxo = s.entradas()[0]["index"]
        fim = time.monotonic() + self.SEGUNDOS
        for k in range(10 ** 6):
            if time.monotonic() > fim:
                break
            curto = tom_estereo(1500 + 100 * (k % 8), 1550 + 100 * (k % 8), segundos=1)
            passo = k % 5
            if passo == 0:  # a program plays a second and ends
                s.iniciar("paplay", curto).wait(timeout=30)
            elif passo == 1:  # the playing one moves, each time to the other device
                mover(s, fluxo, "outro-sink" if k % 2 else "teste-sink")
            elif passo == 2:  # it pauses, another is cut off mid-way, it plays again
                t.stdin.write(b"pausar\n")
                t.stdin.flush()
                cortado = s.iniciar("paplay", curto)
                esperar(lambda: len(s.entradas()) >= 2, o_que="o programa cortado")
                cortado.kill()
                cortado.wait()
                t.stdin.write(b"continuar\n")
                t.stdin.flush()
                esperar(lambda: not any(e["corked"] for e in s.entradas()), o_que="o fluxo de volta")
            elif passo == 3:  # the excluded one plays and ends
                s.iniciar(excluido, curto).wait(timeout=30)
            else:  # and the whole time goes on
                c.esperar_audio(0.5, desde=len(c.dados))
        c.esperar_audio(0.5, desde=len(c.dados))
        esquerda = esquerda_desde(c)
        c.parar()
        self.assertGreater(len(esquerda), TAXA * self.SEGUNDOS * 0.9)
        # A tenth of a second at a time, the microphone's tone stays 60 dB under a
        # program's (about -23 dB), but in a click of a player's own (loud at every
        # frequency for a moment: at the microphone's neighbours as much).
        decimo = TAXA // 10
        ouvido = []
        for k in range(0, len(esquerda) - decimo + 1, decimo):
            bloco = esquerda[k:k + decimo]
            tom = nivel_de_tom_db(bloco, TAXA, self.MICROFONE)
            vizinhos = max(nivel_de_tom_db(bloco, TAXA, self.MICROFONE + d) for d in (-40, 40))
            if tom > -23 - 60 and tom > vizinhos + 20:
                ouvido.append((k / TAXA, round(tom, 1), round(vizinhos, 1)))
        self.assertEqual(ouvido, [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
