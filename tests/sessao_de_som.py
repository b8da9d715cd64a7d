"""A private sound session for escuta's end-to-end tests: its own D-Bus and
either PipeWire (with WirePlumber, a null sink and optionally pipewire-pulse)
or a real PulseAudio daemon (with two null sinks, and optionally a bare
PipeWire beside it, as desktops that share screens run it), and optionally
an Xvfb screen. Nothing of the machine's own session is touched."""
import functools
import glob
import json
import math
import os
import re
import shutil
import signal
import subprocess
import struct
import sys
import tempfile
import threading
import time

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("ESCUTA", os.path.join(RAIZ, "build", "bin", "escuta"))
os.environ.setdefault("TOCADOR_PULSE", os.path.join(RAIZ, "build", "bin", "tocador_pulse"))
# The session manager's own configuration for these sessions: no logind, no
# Bluetooth, no device monitors; one per configuration format (WirePlumber
# 0.5 reads SPA-JSON profiles and refuses 0.4's Lua-era files).
CONFIG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "config")
# Debian's PulseAudio daemon, unpacked by scripts/pulseaudio.
PULSEAUDIO = os.environ.get("PULSEAUDIO_RAIZ", os.path.join(RAIZ, ".pulseaudio"))


def _wireplumber_05():
    versao = subprocess.run(["wireplumber", "--version"], capture_output=True, text=True).stdout
    numeros = re.search(r"libwireplumber (\d+)\.(\d+)", versao)
    return bool(numeros) and (int(numeros[1]), int(numeros[2])) >= (0, 5)


PERMISSAO = ("sem permissão de Gravação de Tela — abra Ajustes do Sistema → Privacidade e Segurança → "
             "Gravação de Tela e autorize o Morvela")
PRONTO = "pronto: 48000 Hz, 2 canal(is), float32 intercalado no stdout\n"
TONS = tempfile.mkdtemp(prefix="escuta-tons-")


def tom(frequencia, segundos=30):
    caminho = os.path.join(TONS, f"{frequencia}-{segundos}.wav")
    if not os.path.exists(caminho):
        gerar_tom(caminho, frequencia, segundos)
    return caminho


class Captura:
    """A running `escuta --audio` (or another recorder given as `processo`),
    its standard output read as it comes."""

    def __init__(self, sessao, *args, processo=None):
        self.p = processo or sessao.escuta("--audio", *args)
        self.dados = bytearray()
        self.leitor = threading.Thread(target=self._ler, daemon=True)
        self.leitor.start()

    def _ler(self):
        while True:
            bloco = self.p.stdout.read1(65536)
            if not bloco:
                return
            self.dados.extend(bloco)

    def esperar_pronto(self):
        linha = self.p.stderr.readline().decode()
        self.pronto = time.monotonic()
        return linha

    def esperar_audio(self, segundos, desde=0, taxa=48000, canais=2, limite=30):
        """Waits until `segundos` of audio have arrived after byte `desde`: a
        busy machine delivers late, never less. Fails the wait after `limite` s."""
        falta = int(segundos * taxa) * canais * 4
        esperar(lambda: len(self.dados) - desde >= falta, segundos=limite, o_que=f"{segundos} s de áudio")

    def nao_adianta(self, taxa, canais):
        """Audio cannot arrive faster than it plays (beyond what was buffered at the start)."""
        segundos = len(self.dados) / (taxa * canais * 4)
        return segundos <= time.monotonic() - self.pronto + 0.5

    def parar(self):
        self.p.kill()
        self.p.wait()
        self.leitor.join(5)
        for f in (self.p.stdout, self.p.stderr):
            if f:
                f.close()
        return bytes(self.dados)

    def canais(self, segundos, canais=2, taxa=48000, desde_byte=0):
        """The last `segundos` of each channel."""
        amostras = floats(self.dados[desde_byte:])
        fim = len(amostras) // canais * canais
        ultimas = amostras[max(0, fim - int(taxa * segundos) * canais):fim]
        return [ultimas[c::canais] for c in range(canais)]

    def potencias(self, taxa, canais, frequencias, desde_byte=0, segundos=1):
        canal0 = self.canais(segundos, canais, taxa, desde_byte)[0]
        return {f: goertzel(canal0, taxa, f) for f in frequencias}


def nivel_db(amostras):
    return 20 * math.log10(math.sqrt(sum(x * x for x in amostras) / max(1, len(amostras))) + 1e-12)


def chegou(condicao, segundos=10.0, passo=0.05):
    """Whether `condicao` came true within `segundos`; for callers that say themselves what failed."""
    fim = time.monotonic() + segundos
    while time.monotonic() < fim:
        if condicao():
            return True
        time.sleep(passo)
    return False


def esperar(condicao, segundos=10.0, o_que="a condição esperada"):
    """Waits for `condicao`; a wait that times out fails the test."""
    if not chegou(condicao, segundos):
        raise AssertionError(f"{o_que} não veio em {segundos} s")
    return True


def medido_duas_vezes(teste):
    """For a test of real-time figures (gaps, clicks, levels) on a shared machine:
    a stall of the whole machine spoils one measurement (the server's own parec
    stalls with it), a fault of escuta's spoils the next one too. So a failed
    measurement is taken once more in a fresh session; the first failure is
    written on stderr, which ctest keeps in Testing/Temporary/LastTest.log."""
    @functools.wraps(teste)
    def medir(self):
        try:
            return teste(self)
        except AssertionError as primeira:
            sys.stderr.write(f"\n{self.id()}: a primeira medida falhou, medindo de novo: {primeira}\n")
            self.doCleanups()
            self.setUp()
            return teste(self)
    return medir


def gerar_tom(caminho, frequencia, segundos, taxa=48000):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                    f"sine=f={frequencia}:d={segundos}:r={taxa}", "-ac", "2", caminho], check=True)


def nivel_de_tom_db(amostras, taxa, frequencia, janela=0.1):
    """The level, in dB of full scale, of one frequency: the mean power over
    `janela`-second blocks, each through a Blackman-Harris window. A tone
    100 Hz away leaks less than -90 dB into it, and a tone a few hertz off (a
    resampler easing a clock's drift) still reads its full level."""
    n = int(taxa * janela)
    blocos = [amostras[k:k + n] for k in range(0, len(amostras) - n + 1, n)]
    if not blocos:
        return -300.0
    pesos = _blackman_harris(n)
    coeficiente = 2 * math.cos(2 * math.pi * frequencia / taxa)
    total = 0.0
    for bloco in blocos:
        s1 = s2 = 0.0
        for x, w in zip(bloco, pesos):
            s1, s2 = x * w + coeficiente * s1 - s2, s1
        total += (s1 * s1 + s2 * s2 - coeficiente * s1 * s2) / (n * 0.35875 / 2) ** 2
    return 10 * math.log10(total / len(blocos) + 1e-30)


_PESOS = {}


def _blackman_harris(n):
    if n not in _PESOS:
        a = (0.35875, 0.48829, 0.14128, 0.01168)
        _PESOS[n] = [a[0] - a[1] * math.cos(2 * math.pi * i / n) + a[2] * math.cos(4 * math.pi * i / n)
                     - a[3] * math.cos(6 * math.pi * i / n) for i in range(n)]
    return _PESOS[n]


def goertzel(amostras, taxa, frequencia):
    """Relative power of one frequency in a block of samples."""
    if not amostras:
        return 0.0
    k = 2 * math.cos(2 * math.pi * frequencia / taxa)
    s1 = s2 = 0.0
    for x in amostras:
        s1, s2 = x + k * s1 - s2, s1
    return (s1 * s1 + s2 * s2 - k * s1 * s2) / len(amostras) ** 2


def floats(dados):
    n = len(dados) // 4
    return struct.unpack(f"<{n}f", dados[:4 * n])


class Sessao:
    def __init__(self, tela=None, pipewire=True, pulse=False, pulseaudio=False, pipewire_nu=False,
                 pulseaudio_fechado=False):
        self.pasta = tempfile.mkdtemp(prefix="escuta-sessao-")
        self.runtime = os.path.join(self.pasta, "run")
        os.mkdir(self.runtime, 0o700)
        self.env = dict(os.environ)
        for chave in ("DISPLAY", "WAYLAND_DISPLAY", "PIPEWIRE_REMOTE", "PULSE_SERVER"):
            self.env.pop(chave, None)
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        self.processos = []
        self.pipewire = self.pulseaudio = self.pipewire_pulse = None
        # How escuta is started instead, when set (in a sandbox: caixa_de_areia.py): (*args, stdout, env) -> Popen.
        self.rodar_escuta = None
        try:
            if tela:
                self._xvfb(tela)
            if pipewire or pulseaudio or pipewire_nu:
                self._dbus()
            if pipewire:
                self._pipewire()
            if pulse:
                self._pulse()
            if pipewire_nu:
                self._pipewire_nu()
            if pulseaudio:
                self._pulseaudio(fechado=pulseaudio_fechado)
        except BaseException:
            self.fechar()
            raise

    def _log(self, programa):
        return os.path.join(self.pasta, os.path.basename(programa) + ".log")

    def _iniciar(self, *cmd, env=None, **kw):
        with open(self._log(cmd[0]), "ab") as log:
            p = subprocess.Popen(cmd, env=env or self.env, stdout=kw.pop("stdout", log), stderr=log,
                                 stdin=subprocess.DEVNULL, **kw)
        self.processos.append(p)
        return p

    def _falhou(self, o_que, *programas):
        """An error that carries the daemons' own last words."""
        partes = [o_que]
        for programa in programas:
            try:
                with open(self._log(programa), errors="replace") as f:
                    ultimas = f.read().splitlines()[-8:]
            except OSError:
                ultimas = ["(sem log)"]
            partes.append(f"--- {programa}:\n" + "\n".join(ultimas))
        return RuntimeError("\n".join(partes))

    def iniciar_wireplumber(self):
        if _wireplumber_05():
            cmd = ["wireplumber", "--profile", "testes"]
            config = os.path.join(CONFIG, "wireplumber-0.5")
        else:
            cmd = ["wireplumber"]
            config = os.path.join(CONFIG, "wireplumber-0.4")
        self.wireplumber = self._iniciar(*cmd, env={**self.env, "XDG_CONFIG_HOME": config})
        return self.wireplumber

    def _xvfb(self, tela):
        # Xvfb picks a free display itself and tells us which: no race with other sessions.
        leitura, escrita = os.pipe()
        try:
            self._iniciar("Xvfb", "-displayfd", str(escrita), "-screen", "0", f"{tela}x24", "-nolisten", "tcp",
                          pass_fds=(escrita,))
            os.close(escrita)
            numero = b""
            while not numero.endswith(b"\n"):
                bloco = os.read(leitura, 16)
                if not bloco:
                    raise RuntimeError("Xvfb não subiu")
                numero += bloco
        finally:
            os.close(leitura)
        self.env["DISPLAY"] = ":" + numero.decode().strip()

    def _dbus(self):
        p = self._iniciar("dbus-daemon", "--session", "--nofork", "--print-address=1", stdout=subprocess.PIPE)
        endereco = p.stdout.readline().decode().strip()
        if not endereco:
            raise RuntimeError("dbus-daemon não subiu")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = endereco

    def _pipewire(self):
        self._pipewire_nu()
        self.iniciar_wireplumber()
        subprocess.run(["pw-cli", "create-node", "adapter",
                        "{ factory.name=support.null-audio-sink node.name=teste-sink media.class=Audio/Sink "
                        "object.linger=true audio.position=[FL FR] }"],
                       env=self.env, check=True, capture_output=True, timeout=10)
        # WirePlumber is ready once it has made our sink the default.
        if not chegou(lambda: "teste-sink" in self.rodar("wpctl", "inspect", "@DEFAULT_AUDIO_SINK@").stdout,
                      segundos=30):
            raise self._falhou("o sink padrão não apareceu", "wireplumber", "pipewire")

    def _pipewire_nu(self):
        """The PipeWire daemon alone: no session manager links anything."""
        self.pipewire = self._iniciar("pipewire")
        if not chegou(lambda: os.path.exists(os.path.join(self.runtime, "pipewire-0"))):
            raise self._falhou("pipewire não subiu", "pipewire")

    def _pulse(self):
        """PulseAudio's protocol, as PipeWire desktops serve it, for paplay, SDL, GStreamer's pulsesink..."""
        self.pipewire_pulse = self._iniciar("pipewire-pulse")
        if not chegou(lambda: os.path.exists(os.path.join(self.runtime, "pulse", "native"))):
            raise self._falhou("pipewire-pulse não subiu", "pipewire-pulse")

    def _pulseaudio(self, fechado=False):
        """A PulseAudio desktop's sound server: the daemon, its native socket, two devices
        (teste-sink, the default, and outro-sink). Root is warned about, not refused.
        `fechado`: it takes only clients with its own cookie, which this session's have not."""
        modulos = glob.glob(os.path.join(PULSEAUDIO, "usr", "lib", "pulse-*", "modules"))
        bibliotecas = glob.glob(os.path.join(PULSEAUDIO, "usr", "lib", "*", "pulseaudio"))
        if not modulos or not bibliotecas:
            raise RuntimeError(f"o daemon do PulseAudio não está em {PULSEAUDIO}: rode scripts/setup")
        self.env["HOME"] = self.pasta  # its cookie and client.conf lookups stay here
        soquete = os.path.join(self.runtime, "pulse", "native")
        os.makedirs(os.path.dirname(soquete), mode=0o700)
        env = {**self.env, "LD_LIBRARY_PATH": bibliotecas[0] + ":" + modulos[0]}
        acesso = "auth-anonymous=1"
        if fechado:
            cookie = os.path.join(self.pasta, "cookie-do-servidor")
            with open(cookie, "wb") as f:
                f.write(os.urandom(256))
            acesso = f"auth-anonymous=0 auth-cookie-enabled=1 auth-cookie={cookie}"
        self.pulseaudio = self._iniciar(
            os.path.join(PULSEAUDIO, "usr", "bin", "pulseaudio"), "-n", "--daemonize=no", "--exit-idle-time=-1",
            "--use-pid-file=no", "--log-target=stderr", "--dl-search-path=" + modulos[0],
            "-L", f"module-native-protocol-unix {acesso} socket={soquete}",
            "-L", "module-null-sink sink_name=teste-sink rate=48000 channels=2",
            "-L", "module-null-sink sink_name=outro-sink rate=48000 channels=2",
            # Idle devices suspend, as on every PulseAudio desktop (after 1 s here rather than 5).
            "-L", "module-suspend-on-idle timeout=1",
            env=env)
        if fechado:
            if not chegou(lambda: os.path.exists(soquete), segundos=20):
                raise self._falhou("o PulseAudio não subiu", "pulseaudio")
            return
        if not chegou(lambda: self.rodar("pactl", "info").returncode == 0, segundos=20):
            raise self._falhou("o PulseAudio não subiu", "pulseaudio")
        self.rodar("pactl", "set-default-sink", "teste-sink")

    def pactl_json(self, *args):
        """pactl's answer as data (PulseAudio 16 and later speak JSON)."""
        r = self.rodar("pactl", "-f", "json", *args)
        return json.loads(r.stdout) if r.returncode == 0 and r.stdout.strip() else []

    def entradas(self):
        """The playback streams (sink inputs), with their properties."""
        return self.pactl_json("list", "sink-inputs")

    def capturas_do_escuta(self):
        """escuta's record streams on the PulseAudio server."""
        return [s for s in self.pactl_json("list", "source-outputs")
                if s["properties"].get("application.name") == "escuta"]

    def matar_pulseaudio(self):
        self.pulseaudio.send_signal(signal.SIGKILL)
        self.pulseaudio.wait()

    def criar_sink(self, nome, posicoes):
        """A null device with the given speaker positions; gives its node id."""
        subprocess.run(["pw-cli", "create-node", "adapter",
                        f"{{ factory.name=support.null-audio-sink node.name={nome} media.class=Audio/Sink "
                        f"object.linger=true audio.position=[{' '.join(posicoes)}] }}"],
                       env=self.env, check=True, capture_output=True, timeout=10)
        ids = []
        esperar(lambda: ids.append(self.id_do_no(nome)) or ids[-1] is not None, o_que=f"o nó {nome}")
        return ids[-1]

    def id_do_no(self, nome):
        for linha in ("\n" + self.rodar("pw-cli", "ls", "Node").stdout).split("\n\tid ")[1:]:
            if f'node.name = "{nome}"' in linha:
                return int(linha.split(",")[0])
        return None

    def tornar_padrao(self, no):
        self.rodar("wpctl", "set-default", str(no))
        esperar(lambda: f"id {no}," in self.rodar("wpctl", "inspect", "@DEFAULT_AUDIO_SINK@").stdout,
                o_que=f"o nó {no} como padrão")

    def iniciar(self, *cmd):
        """Any program, in this session."""
        return self._iniciar(*cmd)

    def iniciar_com_env(self, env, *cmd):
        return self._iniciar(*cmd, env=env)

    def iniciar_com_entrada(self, *cmd, env=None):
        """A program whose standard input the test writes to."""
        with open(self._log(cmd[0]), "ab") as log:
            p = subprocess.Popen(cmd, env=env or self.env, stdin=subprocess.PIPE, stdout=log, stderr=log)
        self.processos.append(p)
        return p

    def rodar(self, *cmd, timeout=10):
        return subprocess.run(cmd, env=self.env, capture_output=True, text=True, timeout=timeout)

    def tocar(self, nome, wav, *extra):
        """Plays `wav` as a native client whose process binary is `nome`."""
        binario = os.path.join(self.pasta, nome)
        if not os.path.exists(binario):
            shutil.copy(shutil.which("pw-cat"), binario)
        return self._iniciar(binario, "-p", *extra, wav)

    def escuta(self, *args, stdout=subprocess.PIPE, env=None):
        if self.rodar_escuta:
            return self.rodar_escuta(*args, stdout=stdout, env=env)
        return subprocess.Popen([os.environ.get("ESCUTA", "escuta"), *args], env=env or self.env, stdout=stdout,
                                stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)

    def sem_pipewire_0(self):
        """From now on escuta runs outside any sandbox but without PipeWire's own
        socket: a runtime folder of its own, the session's PulseAudio socket named."""
        vazia = os.path.join(self.pasta, "sem-pipewire")
        os.makedirs(vazia, 0o700, exist_ok=True)
        proprio = {**self.env, "XDG_RUNTIME_DIR": vazia,
                   "PULSE_SERVER": "unix:" + os.path.join(self.runtime, "pulse", "native")}

        def rodar(*args, stdout, env=None):
            return subprocess.Popen([os.environ.get("ESCUTA", "escuta"), *args], env=env or proprio, stdout=stdout,
                                    stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        self.rodar_escuta = rodar

    def microfone(self):
        """A source that plays a 440 Hz tone, made the default source: the
        microphone that escuta must never record."""
        if self.pulseaudio:
            self.rodar("pactl", "load-module", "module-sine-source", "source_name=microfone", "rate=48000",
                       "frequency=440")
        else:
            # PipeWire's test source (its frequency stays 440 Hz: pw-cli cannot set a float).
            subprocess.run(["pw-cli", "create-node", "adapter",
                            "{ factory.name=audiotestsrc library.name=audiotestsrc/libspa-audiotestsrc "
                            "node.name=microfone node.description=Microfone media.class=Audio/Source "
                            "node.driver=true object.linger=true audio.position=[FL FR] }"],
                           env=self.env, check=True, capture_output=True, timeout=10)
        esperar(lambda: "microfone" in self.rodar("pactl", "list", "short", "sources").stdout, o_que="o microfone")
        self.rodar("pactl", "set-default-source", "microfone")
        esperar(lambda: "Default Source: microfone" in self.rodar("pactl", "info").stdout,
                o_que="o microfone como fonte padrão")

    def matar_pipewire(self):
        self.pipewire.send_signal(signal.SIGKILL)
        self.pipewire.wait()

    def fechar(self):
        for p in reversed(self.processos):
            if p.poll() is None:
                p.terminate()  # lets Xvfb and the daemons remove their sockets
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
            for f in (p.stdin, p.stdout, p.stderr):
                if f:
                    f.close()
        # ESCUTA_GUARDAR_SESSOES=<folder> keeps every session's daemon logs there, to read after a failure.
        guardar = os.environ.get("ESCUTA_GUARDAR_SESSOES")
        if guardar:
            destino = os.path.join(guardar, os.path.basename(self.pasta))
            shutil.copytree(self.pasta, destino, ignore=shutil.ignore_patterns("run", "*.wav"), dirs_exist_ok=True)
        shutil.rmtree(self.pasta, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.fechar()
