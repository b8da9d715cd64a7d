#!/usr/bin/python3
"""make bench: every figure next to its baseline measured in the same run.

rosto: extraction alone vs ffmpeg's own full decode, the whole run (on
natural footage, a synthetic clip and the moving-face clips) vs that
decode, the CPU a sample costs beyond it, how the run scales with CPUs, an
OpenCV seek-per-sample loop with the same detector, detection alone vs the
Haar cascade, peak memory. escuta: CPU per minute vs pw-record, continuity
of a long capture, and whether a paused reader stalls other applications;
on PulseAudio and on pipewire-pulse (PipeWire's socket out of reach), latency
and CPU (its own and the server's) vs parec; the
listing's time and the capture's time to its first sample on an X11 desktop
with windows, vs the escuta of before its window sources (built here)."""
import math
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(sys.argv[1] if len(sys.argv) > 1 else os.path.join(RAIZ, "build"), "bin")
sys.path.insert(0, os.path.join(RAIZ, "tests"))
from escritorio import abrir_openbox, esperar_janelas  # noqa: E402
from giro import girar  # noqa: E402
from sessao_de_som import Sessao, esperar, floats, gerar_tom, tom  # noqa: E402

PASTA = tempfile.mkdtemp(prefix="rosto-bench-")
FOTO = os.path.join(RAIZ, ".fotos", "grace_hopper.jpg")
MODELOS = os.path.join(os.path.dirname(BIN), "share", "rosto")
HAAR = "/usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml"


def linha(nome, valor, base, unidade, meta=None):
    razao = valor / base if base else float("nan")
    texto = f"{nome:<44} {valor:9.3f} {unidade:<4} baseline {base:9.3f} {unidade:<4} ratio {razao:6.3f}"
    if meta is not None:
        texto += f"  target {meta}"
    print(texto, flush=True)


def medir(cmd, saida=subprocess.DEVNULL):
    """Wall seconds, CPU seconds and peak RSS (MB) of one child process."""
    inicio = time.monotonic()
    p = subprocess.Popen(cmd, stdout=saida, stderr=subprocess.DEVNULL)
    _, status, uso = os.wait4(p.pid, 0)
    if status != 0:
        raise RuntimeError(f"falhou ({status}): {' '.join(cmd)}")
    return time.monotonic() - inicio, uso.ru_utime + uso.ru_stime, uso.ru_maxrss / 1024


def clipe(nome, tamanho, segundos, *extra, taxa=30):
    destino = os.path.join(PASTA, nome)
    largura, altura = map(int, tamanho.split("x"))
    rosto = altura // 3
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-loop", "1", "-i", FOTO, "-f", "lavfi", "-i",
                    f"color=c=gray:s={tamanho}:r={taxa}", "-filter_complex",
                    f"[0]scale=-2:{rosto}[f];[1][f]overlay=x='(W-w)/2+(W-w)/2*sin(t/3)':y=(H-h)/2:shortest=1",
                    "-t", str(segundos), "-pix_fmt", "yuv420p", "-c:v", "libx264", *extra, destino], check=True)
    return destino


def quadro_de_fotos(nome, fotos, colunas, linhas, largura, altura):
    """One still: photos cropped to cells of a colunas × linhas grid (a call, a photo wall)."""
    celula_l, celula_a = largura // colunas, altura // linhas
    entradas, filtros, posicoes = [], [], []
    for k, f in enumerate(fotos[:colunas * linhas]):
        entradas += ["-i", os.path.join(RAIZ, ".fotos", f)]
        espelho = ",hflip" if k % 2 else ""
        filtros.append(f"[{k}]scale={celula_l}:{celula_a}:force_original_aspect_ratio=increase,"
                       f"crop={celula_l}:{celula_a}{espelho},format=yuv420p,setsar=1[c{k}]")
        posicoes.append(f"{(k % colunas) * celula_l}_{(k // colunas) * celula_a}")
    n = len(posicoes)
    grafo = ";".join(filtros) + ";" + "".join(f"[c{k}]" for k in range(n)) + \
        f"xstack=inputs={n}:layout={'|'.join(posicoes)},pad={largura}:{altura}"
    destino = os.path.join(PASTA, nome)
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *entradas, "-filter_complex", grafo,
                    "-frames:v", "1", destino], check=True)
    return destino


def clipe_natural(nome="natural.mp4", segundos_por_cena=8):
    """Footage as users have it: a video call, a photo wall, textures, each
    slowly zoomed, with camera-like noise, 1280×720 at 30 fps, ~9 Mbit/s."""
    rostos = ["grace_hopper.jpg", "astronaut.png", "camera.png", "messi5.jpg"]
    texturas = ["coins.png", "board.jpg", "baboon.jpg", "brick.png", "grass.png", "gravel.png", "page.png",
                "chelsea.png", "fruits.jpg", "building.jpg"]
    cenas = [quadro_de_fotos("chamada.png", rostos + rostos[:2], 3, 2, 1280, 720),
             quadro_de_fotos("parede.png", (rostos + texturas[:2]) * 4, 6, 4, 1280, 720),
             quadro_de_fotos("texturas.png", texturas, 5, 2, 1280, 720)]
    quadros = segundos_por_cena * 30
    entradas, filtros = [], []
    for k, cena in enumerate(cenas):
        entradas += ["-loop", "1", "-framerate", "30", "-t", str(segundos_por_cena), "-i", cena]
        filtros.append(f"[{k}]zoompan=z='1+0.15*on/{quadros}':d=1:s=1280x720:fps=30:"
                       f"x='iw/2-(iw/zoom/2)':y='ih/2-(ih/zoom/2)',noise=alls=12:allf=t,format=yuv420p,setsar=1[v{k}]")
    grafo = ";".join(filtros) + ";" + "".join(f"[v{k}]" for k in range(len(cenas))) + \
        f"concat=n={len(cenas)}:v=1:a=0"
    destino = os.path.join(PASTA, nome)
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *entradas, "-filter_complex", grafo,
                    "-c:v", "libx264", "-b:v", "9M", "-r", "30", destino], check=True)
    return destino


def girado(origem, nome):
    return girar(origem, os.path.join(PASTA, nome), 90)


def bench_rosto():
    print("== rosto ==", flush=True)
    a = clipe("A.mp4", "1280x720", 60)
    b = clipe("B.mp4", "1920x1080", 60)
    c = girado(b, "C.mp4")
    d = clipe("D.mp4", "3840x2160", 10)
    e = clipe("E.mp4", "1280x720", 60, "-g", "30")
    ffmpeg = lambda v: medir(["ffmpeg", "-nostdin", "-threads", "2", "-i", v, "-an", "-vf", "scale=640:-2",
                              "-f", "null", "-"])[0]
    extrair = lambda v, fps="5": medir([os.path.join(BIN, "bench_extracao"), v, fps])[0]
    for nome, v, fps, meta in (("A 720p", a, "5", "<= 0.8"), ("B 1080p", b, "5", "<= 0.8"),
                               ("C 1080p quarter-turn", c, "5", None), ("D 4K 10 s", d, "5", None),
                               ("E 720p 1 s GOPs --fps 0.5", e, "0.5", "<= 0.25")):
        linha(f"extraction {nome} (s)", extrair(v, fps), ffmpeg(v), "s", meta)
    rosto = os.path.join(BIN, "rosto")
    decodificar = lambda v: medir(["ffmpeg", "-nostdin", "-threads", "2", "-i", v, "-an", "-vf", "scale=640:-2",
                                   "-f", "null", "-"])
    # Natural footage (real faces, a call, a photo wall, textures, zoom and
    # noise): the whole run against the full decode it cannot skip, and the
    # CPU each sample costs beyond that decode.
    natural = clipe_natural()
    with tempfile.TemporaryFile() as registros:
        r_parede, r_cpu, _ = medir([rosto, natural], saida=registros)
        registros.seek(0)
        amostras = len(registros.read().splitlines()) - 1
    f_parede, f_cpu, _ = decodificar(natural)
    linha("whole run natural 720p vs ffmpeg decode (s)", r_parede, f_parede, "s", "<= 1.5")
    linha("CPU per sample beyond the decode, natural (ms)", (r_cpu - f_cpu) / amostras * 1000,
          f_cpu / amostras * 1000, "ms", "<= 15 ms (baseline: decode's own)")
    sintetico = os.path.join(PASTA, "testsrc2.mp4")
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=s=1280x720:r=30",
                    "-t", "60", "-pix_fmt", "yuv420p", "-c:v", "libx264", sintetico], check=True)
    for nome, v, fps, meta in (("testsrc2 60 s 720p", sintetico, "5", "<= 1.5"), ("A 720p", a, "5", "<= 1.5"),
                               ("B 1080p", b, "5", "<= 1.5"), ("E 720p 1 s GOPs --fps 0.5", e, "0.5", "<= 0.25")):
        linha(f"whole run {nome} vs ffmpeg decode (s)", medir([rosto, v, "--fps", fps])[0], decodificar(v)[0], "s",
              meta)
    cpus = sorted(os.sched_getaffinity(0))
    uma = medir(["taskset", "-c", str(cpus[0]), rosto, natural])[0]
    for n in (2, 4, 8):
        if len(cpus) >= n:
            lista = ",".join(map(str, cpus[:n]))
            linha(f"whole run natural on {n} CPUs vs on 1 (s)", medir(["taskset", "-c", lista, rosto, natural])[0], uma,
                  "s")
    laco = os.path.join(BIN, "bench_laco_opencv")
    if os.path.exists(laco):
        inteiro = medir([rosto, a])[0]
        linha("whole run A vs OpenCV seek loop (s)", inteiro, medir([laco, a, MODELOS])[0], "s", "ratio <= 0.25")
    deteccao = os.path.join(BIN, "bench_deteccao")
    if os.path.exists(deteccao):
        saida = subprocess.run([deteccao, a, MODELOS, HAAR], capture_output=True, text=True, check=True).stdout
        blaze, haar, achados_b, achados_h, n = saida.split()
        linha(f"detection per 640x360 frame (ms; faces in {achados_b}/{n} vs {achados_h}/{n})", float(blaze),
              float(haar), "ms", "<= 10 ms")
    longo = clipe("longo.mp4", "1920x1080", 600, "-preset", "ultrafast")
    rss = {nome: medir([rosto, v])[2] for nome, v in (("B", b), ("D", d), ("10 min", longo))}
    linha("peak RSS B (MB)", rss["B"], 150, "MB", "<= 150")
    linha("peak RSS D (MB)", rss["D"], 300, "MB", "<= 300")
    linha("peak RSS 10-minute 1080p vs B (MB)", rss["10 min"], rss["B"], "MB", "flat")


def cpu_de(pid):
    with open(f"/proc/{pid}/stat") as f:
        campos = f.read().rsplit(")", 1)[1].split()
    return (int(campos[11]) + int(campos[12])) / os.sysconf("SC_CLK_TCK")


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        return next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))


def capturar(sessao, cmd, segundos, pausa=None):
    """Runs a capture for `segundos`, reading all it writes; gives (bytes, cpu seconds)."""
    p = subprocess.Popen(cmd, env=sessao.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    dados = bytearray()

    def ler():
        if pausa:
            time.sleep(pausa)
        while True:
            bloco = p.stdout.read1(1 << 16)
            if not bloco:
                return
            dados.extend(bloco)

    t = threading.Thread(target=ler)
    t.start()
    time.sleep(segundos)
    cpu = cpu_de(p.pid)
    p.kill()
    p.wait()
    t.join()
    return bytes(dados), cpu


def continuidade(amostras, taxa, frequencia):
    """Largest break of the sine recurrence x[n+1] = 2cos(w)x[n] - x[n-1] (a gap or a repeat)."""
    k = 2 * math.cos(2 * math.pi * frequencia / taxa)
    inicio = next((i for i, x in enumerate(amostras) if abs(x) > 0.01), None)
    if inicio is None:
        return float("inf"), 0
    trecho = amostras[inicio + taxa // 10:len(amostras) - taxa // 10]
    pior = max(abs(trecho[n + 1] - k * trecho[n] + trecho[n - 1]) for n in range(1, len(trecho) - 1))
    return pior, len(trecho)



class Leitura:
    """A capture's standard output read as it comes, with when each block arrived."""

    def __init__(self, sessao, cmd):
        self.p = subprocess.Popen(cmd, env=sessao.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.dados = bytearray()
        self.chegadas = []  # (monotonic time, bytes so far)
        self.t = threading.Thread(target=self._ler, daemon=True)
        self.t.start()

    def _ler(self):
        while bloco := self.p.stdout.read1(1 << 16):
            self.dados.extend(bloco)
            self.chegadas.append((time.monotonic(), len(self.dados)))

    def quando_chegou(self, byte):
        return next(t for t, total in self.chegadas if total > byte)

    def fechar(self):
        self.p.kill()
        self.p.wait()
        self.t.join()


def latencia(sessao, cmd, provocar, aquecimento=1, vezes=7):
    """Median time from `provocar()` (a burst played) to the burst's first sample on the capture's output,
    after `aquecimento` seconds of capture."""
    leitura = Leitura(sessao, cmd)
    esperar(lambda: len(leitura.dados) > 48000 * 8 * aquecimento, segundos=30)
    medidas = []
    for _ in range(vezes):
        desde = len(leitura.dados) // 8 * 8
        inicio = time.monotonic()
        provocar()
        esperar(lambda: len(leitura.dados) > desde + 48000 * 8 // 2, segundos=10)
        amostras = floats(bytes(leitura.dados[desde:]))
        primeira = next((i for i, x in enumerate(amostras) if abs(x) > 0.01), None)
        if primeira is not None:
            medidas.append(leitura.quando_chegou(desde + primeira * 4) - inicio)
        time.sleep(0.3)
    leitura.fechar()
    return statistics.median(medidas) if medidas else float("nan")


def bench_latencia(escuta):
    with Sessao(tela="800x600") as s:
        surto = os.path.join(PASTA, "surto.wav")
        gerar_tom(surto, 1000, 0.2)
        tocar = lambda: subprocess.run(["pw-play", surto], env=s.env, check=True)  # noqa: E731
        record = latencia(s, ["pw-record", "-P", "{ stream.capture.sink=true }", "--format", "f32", "--rate", "48000",
                              "--channels", "2", "-"], tocar)
        for nome, args in (("", []), (", with an exclusion", ["--excluir-app", "ninguem"])):
            linha(f"latency, burst to stdout{nome} (ms)", latencia(s, [escuta, "--audio", *args], tocar) * 1000,
                  record * 1000, "ms", "<= pw-record")


# escuta as it was before it listed windows and app units: the baseline of the listing's and start's cost.
ANTES_DAS_JANELAS = "c2127543736b4828f53e3ed1e280e8abc377e185"


def escuta_de_antes():
    """That escuta, built once in a folder of its own beside this build."""
    pasta = os.path.join(os.path.dirname(BIN) + "-escuta-" + ANTES_DAS_JANELAS[:12])
    binario = os.path.join(pasta, "build", "bin", "escuta")
    if not os.path.exists(binario):
        os.makedirs(os.path.join(pasta, "fonte"), exist_ok=True)
        arquivo = subprocess.run(["git", "-C", RAIZ, "archive", ANTES_DAS_JANELAS], capture_output=True, check=True)
        subprocess.run(["tar", "-x", "-C", os.path.join(pasta, "fonte")], input=arquivo.stdout, check=True)
        subprocess.run(["cmake", "-S", os.path.join(pasta, "fonte"), "-B", os.path.join(pasta, "build")],
                       stdout=subprocess.DEVNULL, check=True)
        subprocess.run(["cmake", "--build", os.path.join(pasta, "build"), "--target", "escuta", "-j",
                        str(os.cpu_count())], stdout=subprocess.DEVNULL, check=True)
    return binario


def medir_em(sessao, cmd):
    """Wall seconds of one run of `cmd` in the session."""
    inicio = time.monotonic()
    subprocess.run(cmd, env=sessao.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.monotonic() - inicio


def ate_o_primeiro_byte(sessao, cmd):
    """Seconds from starting `cmd` to the first byte on its standard output."""
    inicio = time.monotonic()
    p = subprocess.Popen(cmd, env=sessao.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    p.stdout.read(1)
    decorrido = time.monotonic() - inicio
    p.kill()
    p.wait()
    return decorrido


def bench_janelas(escuta):
    """An X11 desktop (openbox, five windows, a player without one) on PipeWire: the
    listing, and the capture's start to its first sample, beside the escuta of before."""
    antes = escuta_de_antes()
    with Sessao(tela="1280x720", pulse=True) as s:
        abrir_openbox(s)
        for cmd in (["xterm"], ["xterm"], ["xeyes"], ["xclock"],
                    ["mpv", "--no-config", "--no-audio", "--vo=x11", "--force-window=yes", "--idle=yes"]):
            s.iniciar(*cmd)
        s.iniciar("paplay", tom(440, 300))
        esperar_janelas(s, 5)
        # Turn about, so that what else the machine does weighs on both alike.
        listar, comecar = {escuta: [], antes: []}, {escuta: [], antes: []}
        for _ in range(21):
            for binario in (escuta, antes):
                listar[binario].append(medir_em(s, [binario, "--listar"]))
                comecar[binario].append(ate_o_primeiro_byte(s, [binario, "--audio"]))
        for nome, tempos in (("escuta --listar, X11 desktop, median (ms)", listar),
                             ("escuta --audio to its first sample, median (ms)", comecar)):
            linha(nome, statistics.median(tempos[escuta]) * 1000, statistics.median(tempos[antes]) * 1000, "ms",
                  "ratio <= 1.5")


def bench_escuta():
    print("== escuta ==", flush=True)
    escuta = os.path.join(BIN, "escuta")
    bench_janelas(escuta)
    bench_pulseaudio(escuta)
    bench_latencia(escuta)
    with Sessao(tela="1920x1080") as s:
        tom = os.path.join(PASTA, "tom.wav")
        gerar_tom(tom, 997, 300)  # outlasts every capture below: its end would read as a gap
        s.tocar("tocador", tom)
        time.sleep(0.5)
        _, cpu_escuta = capturar(s, [escuta, "--audio"], 20)
        _, cpu_record = capturar(s, ["pw-record", "--format", "f32", "--rate", "48000", "--channels", "2", "-"], 20)
        linha("CPU seconds per minute, 48 kHz stereo", cpu_escuta * 3, cpu_record * 3, "s", "ratio <= 1.0")
        dados, _ = capturar(s, [escuta, "--audio"], 62)
        esquerda = floats(dados)[0::2]
        pior, n = continuidade(esquerda, 48000, 997)
        print(f"{'60 s sine capture: largest recurrence break':<44} {pior:9.2e} over {n} samples "
              f"({len(esquerda) / 48000:.1f} s captured)  target < 1e-3 (gapless)", flush=True)
        p = subprocess.Popen([escuta, "--audio"], env=s.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        leitor = threading.Thread(target=lambda: [None for _ in iter(lambda: p.stdout.read1(1 << 16), b"")])
        leitor.start()
        time.sleep(10)
        rss_inicio = rss_kb(p.pid)
        time.sleep(290)
        rss_fim = rss_kb(p.pid)
        p.kill()
        p.wait()
        leitor.join()
        linha("RSS of a 5-minute capture: at 5 min vs at 10 s (MB)", rss_fim / 1024, rss_inicio / 1024, "MB", "flat")
        cinco = os.path.join(PASTA, "cinco.wav")
        gerar_tom(cinco, 440, 5)
        duracoes = {}
        for pausado in (False, True):
            p = subprocess.Popen([escuta, "--audio"], env=s.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            p.stderr.readline()
            leitor = None
            if not pausado:
                leitor = threading.Thread(target=lambda: [None for _ in iter(lambda: p.stdout.read1(1 << 16), b"")])
                leitor.start()
            inicio = time.monotonic()
            subprocess.run(["pw-play", cinco], env=s.env, check=True)
            duracoes[pausado] = time.monotonic() - inicio
            p.kill()
            p.wait()
            if leitor:
                leitor.join()
        linha("pw-play of 5 s with escuta's reader paused (s)", duracoes[True], duracoes[False], "s", "~5 s, no stall")


def cpu_com_servidor(sessao, servidores, cmd, segundos=20):
    """CPU seconds of a capture and of the sound server's processes (`servidores`) together while it runs."""
    antes = sum(cpu_de(p) for p in servidores)
    _, cpu = capturar(sessao, cmd, segundos)
    return cpu + sum(cpu_de(p) for p in servidores) - antes


def parec(*args):
    return ["parec", "--format=float32le", "--rate=48000", "--channels=2", "--raw", *args]


def bench_pulseaudio(escuta):
    """escuta's PulseAudio backend next to parec in the same run: on Debian's
    PulseAudio daemon, and on PipeWire's pipewire-pulse with PipeWire's own
    socket out of reach (as in a sandbox granted only the PulseAudio one)."""
    with Sessao(tela="800x600", pipewire=False, pulseaudio=True) as s:
        bench_pelo_pulse(s, "PulseAudio", [s.pulseaudio.pid], [escuta])
    with Sessao(tela="800x600", pulse=True) as s:
        s.criar_sink("outro-sink", ["FL", "FR"])
        s.tornar_padrao(s.id_do_no("teste-sink"))
        vazia = os.path.join(s.pasta, "sem-pipewire")
        os.makedirs(vazia, 0o700)
        sem_pipewire_0 = ["env", "XDG_RUNTIME_DIR=" + vazia,
                          "PULSE_SERVER=unix:" + os.path.join(s.runtime, "pulse", "native"), escuta]
        servidores = [s.pipewire.pid, s.pipewire_pulse.pid, s.wireplumber.pid]
        bench_pelo_pulse(s, "pipewire-pulse", servidores, sem_pipewire_0)


def bench_pelo_pulse(s, nome, servidores, escuta):
    tocador_pulse = os.path.join(BIN, "tocador_pulse")
    tocador = s.iniciar_com_entrada(tocador_pulse, "1000", "1000")
    tocador.stdin.write(b"silencio\n")
    tocador.stdin.flush()

    def surto():  # inside the stream already playing
        tocador.stdin.write(b"surto\n")
        tocador.stdin.flush()

    # What a device had rendered ahead before a capture came plays out first.
    base = latencia(s, parec("--device=teste-sink.monitor", "--latency-msec=20"), surto, aquecimento=3)
    medida = latencia(s, [*escuta, "--audio"], surto, aquecimento=3)
    linha(f"{nome}: latency, burst to stdout (ms)", medida * 1000, base * 1000, "ms", "<= parec + 20 ms")
    # One program playing: escuta and the server vs parec and the server, parec at the latency of escuta's
    # per-stream captures (5 ms fragments on PulseAudio; pipewire-pulse's captures deliver every 20 ms).
    # Beside it, parec on the program's own stream, as escuta reads it: what the server spends on a
    # per-stream capture over a device's monitor, apart from escuta's own work.
    fragmento = "5" if nome == "PulseAudio" else "20"
    do_fluxo = parec(f"--latency-msec={fragmento}", f"--monitor-stream={s.entradas()[0]['index']}")
    uns = [(cpu_com_servidor(s, servidores, [*escuta, "--audio"]),
            cpu_com_servidor(s, servidores, parec(f"--latency-msec={fragmento}")),
            cpu_com_servidor(s, servidores, do_fluxo)) for _ in range(5)]
    escuta_um = statistics.median(u[0] for u in uns) * 3
    linha(f"{nome}: CPU s/min, 1 program, with server", escuta_um, statistics.median(u[1] for u in uns) * 3,
          "s", "ratio <= 1.25")
    linha(f"{nome}: the same, against parec on the stream", escuta_um, statistics.median(u[2] for u in uns) * 3, "s")
    for k in range(6):  # two of them on the second device
        s.iniciar_com_entrada(tocador_pulse, str(500 + 100 * k), str(550 + 100 * k),
                              env={**s.env, "PULSE_SINK": "outro-sink" if k < 2 else "teste-sink"})
    esperar(lambda: len(s.entradas()) >= 7, segundos=20)
    escuta_sete = statistics.median(cpu_com_servidor(s, servidores, [*escuta, "--audio"]) for _ in range(5))
    # parec on every device's monitor at once
    antes = sum(cpu_de(p) for p in servidores)
    outro = subprocess.Popen(parec("--device=outro-sink.monitor", f"--latency-msec={fragmento}"), env=s.env,
                             stdout=subprocess.DEVNULL)
    _, cpu = capturar(s, parec("--device=teste-sink.monitor", f"--latency-msec={fragmento}"), 20)
    cpu += cpu_de(outro.pid)
    outro.kill()
    outro.wait()
    cpu += sum(cpu_de(p) for p in servidores) - antes
    linha(f"{nome}: CPU s/min, 7 programs, with server", escuta_sete * 3, cpu * 3, "s", "ratio <= 3")


if __name__ == "__main__":
    partes = os.environ.get("BENCH", "rosto escuta").split()  # BENCH=rosto for one tool only
    if "rosto" in partes:
        bench_rosto()
    if "escuta" in partes:
        bench_escuta()
