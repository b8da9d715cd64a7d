"""Desktops for escuta's window tests, beside a sound session (sessao_de_som):
an EWMH window manager (openbox) on the session's Xvfb; sway headless as a
plain user (it refuses root) with XWayland; processes in cgroups named as
GNOME and KDE name app units; and the programs people open windows with
(a browser from Debian among them). Each is private to its test and
removed afterwards."""
import glob
import json
import os
import shutil
import subprocess
import tempfile
import uuid

from sessao_de_som import chegou, esperar

NINGUEM = 65534  # nobody: in every Debian, even a container's


def ler(caminho):
    with open(caminho) as f:
        return f.read()


def janelas_x(sessao):
    """The window manager's client list (_NET_CLIENT_LIST), as window ids."""
    saida = sessao.rodar("xprop", "-root", "_NET_CLIENT_LIST").stdout
    return [j.strip() for j in saida.split("#", 1)[1].split(",")] if "#" in saida else []


def abrir_openbox(sessao):
    """openbox on the session's X server; returns once it manages windows. Once,
    beside a full suite on busy cores, it did not in 20 s: it gets a minute, is
    started again if it ended, and a timeout says how it ended and what it wrote."""
    partidas = [sessao.iniciar("openbox", "--sm-disable")]

    def gerencia():
        if "_NET_SUPPORTING_WM_CHECK(WINDOW)" in sessao.rodar("xprop", "-root").stdout:
            return True
        if partidas[-1].poll() is not None and len(partidas) < 3:
            partidas.append(sessao.iniciar("openbox", "--sm-disable"))
        return False

    if not chegou(gerencia, 60):
        with open(os.path.join(sessao.pasta, "openbox.log"), errors="replace") as log:
            raise AssertionError(f"o openbox não veio em 60 s; saídas {[p.poll() for p in partidas]}: {log.read()[-1000:]}")
    return partidas[-1]


def pid_das_janelas(sessao):
    """_NET_WM_PID of each window in the client list that has one."""
    pids = set()
    for j in janelas_x(sessao):
        saida = sessao.rodar("xprop", "-id", j, "_NET_WM_PID").stdout
        if "=" in saida:
            pids.add(int(saida.split("=")[1]))
    return pids


def esperar_janelas(sessao, quantas, segundos=60):
    esperar(lambda: len(janelas_x(sessao)) >= quantas, segundos=segundos, o_que=f"{quantas} janelas")


def pagina_com_som(sessao, wav):
    """A local page that plays `wav` in a loop as soon as it opens."""
    pagina = os.path.join(sessao.pasta, "som.html")
    with open(pagina, "w") as f:
        f.write(f'<!doctype html><title>som</title><audio src="file://{wav}" autoplay loop></audio>')
    return "file://" + pagina


def chromium(sessao, url="about:blank", env=None):
    """Debian's Chromium in a window of its own: a fresh profile, nothing fetched
    from the network, sound allowed to start without a click. As root it needs
    --no-sandbox."""
    perfil = tempfile.mkdtemp(prefix="chromium-", dir=sessao.pasta)
    cmd = ["chromium", "--no-sandbox", f"--user-data-dir={perfil}", "--no-first-run", "--no-default-browser-check",
           "--disable-background-networking", "--disable-component-update", "--disable-sync",
           "--password-store=basic", "--ozone-platform=x11", "--autoplay-policy=no-user-gesture-required", url]
    return sessao.iniciar_com_env(env or sessao.env, *cmd)


class Sway:
    """sway headless as nobody, with XWayland started on first use. The session's
    programs (root) reach it through absolute paths in WAYLAND_DISPLAY and
    SWAYSOCK, set in the session's environment."""

    def __init__(self, sessao):
        self.sessao = sessao
        self.casa = tempfile.mkdtemp(prefix="escuta-sway-")
        self.run = os.path.join(self.casa, "run")
        os.mkdir(self.run, 0o700)
        for pasta in (self.casa, self.run):
            os.chown(pasta, NINGUEM, NINGUEM)
        os.chmod(self.casa, 0o755)
        config = os.path.join(self.casa, "config")
        with open(config, "w") as f:
            f.write("xwayland enable\n")
        self.env = {"PATH": "/usr/bin:/bin", "HOME": self.casa, "XDG_RUNTIME_DIR": self.run,
                    "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"}
        self.log = open(os.path.join(sessao.pasta, "sway.log"), "ab")
        self.processos = []
        self.sway = self._como_ninguem(["sway", "-c", config], self.env)
        try:
            esperar(lambda: self._no_run("sway-ipc.") and self._no_run("wayland-"), segundos=30, o_que="o sway")
            sessao.env["WAYLAND_DISPLAY"] = self._no_run("wayland-")
            sessao.env["SWAYSOCK"] = self._no_run("sway-ipc.")
            esperar(lambda: self.saidas(), segundos=30, o_que="as saídas do sway")
            # Its XWayland's display, named before anything connects there (which starts XWayland).
            arquivo = os.path.join(self.casa, "display")
            self.msg("exec", f"echo $DISPLAY > {arquivo}")
            esperar(lambda: os.path.exists(arquivo) and ler(arquivo).strip(), o_que="o DISPLAY do sway")
            self.display = ler(arquivo).strip()
        except BaseException:
            self.fechar()
            raise
        self.x_aberto = False

    def _no_run(self, prefixo):
        nomes = [n for n in os.listdir(self.run) if n.startswith(prefixo) and not n.endswith(".lock")]
        return os.path.join(self.run, nomes[0]) if nomes else None

    def _como_ninguem(self, cmd, env):
        p = subprocess.Popen(cmd, env=env, user=NINGUEM, group=NINGUEM, stdin=subprocess.DEVNULL, stdout=self.log,
                             stderr=self.log, cwd=self.casa)
        self.processos.append(p)
        return p

    def msg(self, *args):
        return self.sessao.rodar("swaymsg", "-s", self.sessao.env["SWAYSOCK"], *args)

    def saidas(self):
        r = self.msg("-r", "-t", "get_outputs")
        return json.loads(r.stdout) if r.returncode == 0 and r.stdout.strip() else []

    def vistas(self):
        """Every view of sway's tree: (pid, app_id or class)."""
        r = self.msg("-r", "-t", "get_tree")
        vistas, pilha = [], [json.loads(r.stdout)] if r.returncode == 0 else []
        while pilha:
            no = pilha.pop()
            if no.get("pid"):
                vistas.append((no["pid"], no.get("app_id") or no.get("window_properties", {}).get("class")))
            pilha += no.get("nodes", []) + no.get("floating_nodes", [])
        return vistas

    def iniciar_x(self, *cmd):
        """An X program on sway's XWayland, as nobody (XWayland's own user). The
        first starts XWayland and lets root's programs (escuta) connect too."""
        env = {**self.env, "DISPLAY": self.display}
        if not self.x_aberto:
            esperar(lambda: subprocess.run(["xhost", "+si:localuser:root"], env=env, user=NINGUEM, group=NINGUEM,
                                           capture_output=True).returncode == 0, segundos=30, o_que="o XWayland")
            self.x_aberto = True
        return self._como_ninguem(list(cmd), env)

    def xwayland_rodando(self):
        """Whether an XWayland serves this sway's display."""
        for cmdline in glob.glob("/proc/[0-9]*/cmdline"):
            try:
                with open(cmdline, "rb") as f:
                    args = f.read().split(b"\0")
            except OSError:
                continue
            if os.path.basename(args[0]) == b"Xwayland" and self.display.encode() in args:
                return True
        return False

    def fechar(self):
        for p in reversed(self.processos):
            if p.poll() is None:
                p.terminate()
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        self.log.close()
        shutil.rmtree(self.casa, ignore_errors=True)


class UnidadesDeApp:
    """Processes placed in cgroups named as GNOME and KDE name the systemd units
    they launch applications in, under a group of this test's own in the
    machine's cgroup v2 hierarchy (mounted here when nothing has, as in a
    chroot). Everything is removed on closing."""

    def __init__(self):
        self.montada = None
        raiz = self._cgroup2()
        if not raiz:
            self.montada = tempfile.mkdtemp(prefix="escuta-cgroup2-")
            subprocess.run(["mount", "-t", "cgroup2", "cgroup2", self.montada], check=True)
            raiz = self.montada
        self.grupo = os.path.join(raiz, f"escuta-teste-{os.getpid()}-{uuid.uuid4().hex[:8]}")
        os.mkdir(self.grupo)
        self.processos = []

    @staticmethod
    def _cgroup2():
        with open("/proc/self/mountinfo") as f:
            for linha in f:
                antes, depois = linha.split(" - ", 1)
                if depois.split()[0] == "cgroup2":
                    return antes.split()[4].replace("\\040", " ")
        return None

    def iniciar(self, sessao, unidade, *cmd, env=None):
        """`cmd` in the unit named `unidade` (created here), as a launcher starts it."""
        pasta = os.path.join(self.grupo, unidade)
        os.makedirs(pasta, exist_ok=True)
        p = sessao.iniciar_com_env(env or sessao.env, "sh", "-c", 'echo $$ > "$0/cgroup.procs" && exec "$@"', pasta,
                                   *cmd)
        self.processos.append(p)
        esperar(lambda: str(p.pid) in ler(os.path.join(pasta, "cgroup.procs")).split(),
                o_que=f"o processo em {unidade}")
        return p

    def fechar(self):
        for p in self.processos:
            if p.poll() is None:
                p.kill()
            p.wait()
        # Children left behind (a wrapper's player) go with their group.
        for pasta, _, _ in sorted(os.walk(self.grupo), key=lambda x: -len(x[0])):
            procs = os.path.join(pasta, "cgroup.procs")
            chegou(lambda: self._esvaziar(procs), segundos=10)
            os.rmdir(pasta)
        if self.montada:
            subprocess.run(["umount", self.montada], check=True)
            os.rmdir(self.montada)

    @staticmethod
    def _esvaziar(procs):
        pids = ler(procs).split()
        for pid in pids:
            try:
                os.kill(int(pid), 9)
            except ProcessLookupError:
                pass
        return not pids


def entrada_de_desktop(sessao, id_, nome):
    """<id>.desktop with Name=`nome` in the session's XDG_DATA_HOME."""
    pasta = os.path.join(sessao.pasta, "dados", "applications")
    os.makedirs(pasta, exist_ok=True)
    with open(os.path.join(pasta, f"{id_}.desktop"), "w") as f:
        f.write(f"[Desktop Entry]\nType=Application\nName={nome}\nExec=true\n")
    sessao.env["XDG_DATA_HOME"] = os.path.dirname(pasta)
