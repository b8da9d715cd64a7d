"""A program run inside an application sandbox laid out as Flatpak lays one
out, with bubblewrap: its own pid namespace, /.flatpak-info, the sound
server's PulseAudio socket at /run/flatpak/pulse/native with PULSE_SERVER
and PULSE_CLIENTCONFIG (shared memory off) pointing there, and a private
XDG_RUNTIME_DIR. What a manifest may add: PipeWire's socket
(`--filesystem=xdg-run/pipewire-0`) and the X11 socket (`--socket=x11`).

    caixa = CaixaDeAreia(sessao, pipewire_0=False, x11=True)
    p = caixa.popen(["/usr/bin/pactl", "info"], stdout=subprocess.PIPE)
    p = caixa.escuta("--listar")  # the escuta under test, as Sessao.escuta runs it

Programs of /usr run as they are; another program is bound read-only at
/app/bin/<its name>. The Popen is bubblewrap's: its status is the
program's, and killing it ends the sandbox (--die-with-parent)."""
import os
import subprocess

# The sandbox's own runtime folder, and Flatpak's place for the PulseAudio socket.
RUNTIME = "/run/user/0"
PULSE = "/run/flatpak/pulse"


class CaixaDeAreia:
    def __init__(self, sessao, pipewire_0=False, x11=True, app_id="org.exemplo.Anfitriao"):
        self.sessao = sessao
        pasta = os.path.join(sessao.pasta, "caixa")
        os.makedirs(pasta, exist_ok=True)
        self.info = os.path.join(pasta, "flatpak-info")
        soquetes = "x11;pulseaudio;" if x11 else "pulseaudio;"
        with open(self.info, "w") as f:
            f.write(f"[Application]\nname={app_id}\n\n[Context]\nsockets={soquetes}\n")
            if pipewire_0:
                f.write("filesystems=xdg-run/pipewire-0;\n")
        self.config = os.path.join(pasta, "pulse-config")
        with open(self.config, "w") as f:
            f.write("enable-shm=no\n")
        self.pipewire_0 = pipewire_0
        self.x11 = x11

    def _bwrap(self):
        runtime = self.sessao.runtime
        cmd = ["bwrap", "--ro-bind", "/usr", "/usr", "--symlink", "usr/lib", "/lib", "--symlink", "usr/lib64",
               "/lib64", "--symlink", "usr/bin", "/bin", "--symlink", "usr/sbin", "/sbin", "--ro-bind", "/etc", "/etc",
               "--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp", "--tmpfs", "/run",
               "--ro-bind", self.info, "/.flatpak-info",
               "--ro-bind", os.path.join(runtime, "pulse", "native"), PULSE + "/native",
               "--ro-bind", self.config, PULSE + "/config",
               "--dir", RUNTIME, "--setenv", "XDG_RUNTIME_DIR", RUNTIME,
               "--setenv", "PULSE_SERVER", "unix:" + PULSE + "/native", "--setenv", "PULSE_CLIENTCONFIG",
               PULSE + "/config", "--unsetenv", "PIPEWIRE_REMOTE", "--unsetenv", "DBUS_SESSION_BUS_ADDRESS",
               # No --new-session: Flatpak keeps the caller's session (it blocks TIOCSTI with
               # seccomp instead), and a session of its own is a scheduling group of its own,
               # which left escuta's loop unscheduled for up to 2.6 s beside two busy cores.
               "--unshare-pid", "--unshare-ipc", "--die-with-parent"]
        if self.pipewire_0:
            cmd += ["--bind", os.path.join(runtime, "pipewire-0"), RUNTIME + "/pipewire-0"]
        tela = self.sessao.env.get("DISPLAY")
        if self.x11 and tela:
            x = f"/tmp/.X11-unix/X{tela.lstrip(':')}"
            cmd += ["--ro-bind", x, x, "--setenv", "DISPLAY", tela]
        else:
            cmd += ["--unsetenv", "DISPLAY"]
        return cmd

    def popen(self, cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=None, extra=()):
        """`cmd` run inside; `env` (the session's by default) as the sandbox amends it;
        `extra`, more of bubblewrap's options (another program bound in)."""
        programa = cmd[0]
        extra = list(extra)
        if not programa.startswith("/usr/"):
            dentro = "/app/bin/" + os.path.basename(programa)
            extra += ["--ro-bind", programa, dentro]
            programa = dentro
        return subprocess.Popen(self._bwrap() + extra + [programa, *cmd[1:]], env=env or self.sessao.env,
                                stdout=stdout, stderr=stderr, stdin=subprocess.DEVNULL)

    def escuta(self, *args, stdout=subprocess.PIPE, env=None):
        return self.popen([os.environ.get("ESCUTA", "escuta"), *args], stdout=stdout, env=env)
