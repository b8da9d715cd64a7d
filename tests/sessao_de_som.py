"""A private sound session for escuta's end-to-end tests: its own D-Bus,
PipeWire, WirePlumber and null sink, and optionally an Xvfb screen. Nothing
of the machine's own session is touched."""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import math
import struct

# The session manager's own configuration for these sessions: no logind, no
# Bluetooth, no device monitors; one per configuration format (WirePlumber
# 0.5 reads SPA-JSON profiles and refuses 0.4's Lua-era files).
CONFIG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "config")


def _wireplumber_05():
    versao = subprocess.run(["wireplumber", "--version"], capture_output=True, text=True).stdout
    numeros = re.search(r"libwireplumber (\d+)\.(\d+)", versao)
    return bool(numeros) and (int(numeros[1]), int(numeros[2])) >= (0, 5)


def esperar(condicao, segundos=10.0, passo=0.05):
    fim = time.monotonic() + segundos
    while time.monotonic() < fim:
        if condicao():
            return True
        time.sleep(passo)
    return False


def gerar_tom(caminho, frequencia, segundos, taxa=48000):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                    f"sine=f={frequencia}:d={segundos}:r={taxa}", "-ac", "2", caminho], check=True)


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
    def __init__(self, tela=None, pipewire=True, pulse=False):
        self.pasta = tempfile.mkdtemp(prefix="escuta-sessao-")
        self.runtime = os.path.join(self.pasta, "run")
        os.mkdir(self.runtime, 0o700)
        self.env = dict(os.environ)
        for chave in ("DISPLAY", "WAYLAND_DISPLAY", "PIPEWIRE_REMOTE", "PULSE_SERVER"):
            self.env.pop(chave, None)
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        self.processos = []
        self.pipewire = None
        try:
            if tela:
                self._xvfb(tela)
            if pipewire:
                self._dbus()
                self._pipewire()
            if pulse:
                self._pulse()
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
        self.pipewire = self._iniciar("pipewire")
        if not esperar(lambda: os.path.exists(os.path.join(self.runtime, "pipewire-0"))):
            raise self._falhou("pipewire não subiu", "pipewire")
        self.iniciar_wireplumber()
        subprocess.run(["pw-cli", "create-node", "adapter",
                        "{ factory.name=support.null-audio-sink node.name=teste-sink media.class=Audio/Sink "
                        "object.linger=true audio.position=[FL FR] }"],
                       env=self.env, check=True, capture_output=True, timeout=10)
        # WirePlumber is ready once it has made our sink the default.
        if not esperar(lambda: "teste-sink" in self.rodar("wpctl", "inspect", "@DEFAULT_AUDIO_SINK@").stdout,
                       segundos=30):
            raise self._falhou("o sink padrão não apareceu", "wireplumber", "pipewire")

    def _pulse(self):
        """PulseAudio's protocol, as desktops serve it, for paplay, SDL, GStreamer's pulsesink..."""
        self._iniciar("pipewire-pulse")
        if not esperar(lambda: os.path.exists(os.path.join(self.runtime, "pulse", "native"))):
            raise self._falhou("pipewire-pulse não subiu", "pipewire-pulse")

    def criar_sink(self, nome, posicoes):
        """A null device with the given speaker positions; gives its node id."""
        subprocess.run(["pw-cli", "create-node", "adapter",
                        f"{{ factory.name=support.null-audio-sink node.name={nome} media.class=Audio/Sink "
                        f"object.linger=true audio.position=[{' '.join(posicoes)}] }}"],
                       env=self.env, check=True, capture_output=True, timeout=10)
        ids = []
        esperar(lambda: ids.append(self.id_do_no(nome)) or ids[-1] is not None)
        return ids[-1]

    def id_do_no(self, nome):
        for linha in ("\n" + self.rodar("pw-cli", "ls", "Node").stdout).split("\n\tid ")[1:]:
            if f'node.name = "{nome}"' in linha:
                return int(linha.split(",")[0])
        return None

    def tornar_padrao(self, no):
        self.rodar("wpctl", "set-default", str(no))
        if not esperar(lambda: f"id {no}," in self.rodar("wpctl", "inspect", "@DEFAULT_AUDIO_SINK@").stdout):
            raise RuntimeError(f"o nó {no} não virou o padrão")

    def iniciar(self, *cmd):
        """Any program, in this session."""
        return self._iniciar(*cmd)

    def rodar(self, *cmd, timeout=10):
        return subprocess.run(cmd, env=self.env, capture_output=True, text=True, timeout=timeout)

    def tocar(self, nome, wav, *extra):
        """Plays `wav` as a native client whose process binary is `nome`."""
        binario = os.path.join(self.pasta, nome)
        if not os.path.exists(binario):
            shutil.copy(shutil.which("pw-cat"), binario)
        return self._iniciar(binario, "-p", *extra, wav)

    def escuta(self, *args, stdout=subprocess.PIPE):
        return subprocess.Popen([os.environ.get("ESCUTA", "escuta"), *args], env=self.env, stdout=stdout,
                                stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)

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
            for f in (p.stdout, p.stderr):
                if f:
                    f.close()
        shutil.rmtree(self.pasta, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.fechar()
