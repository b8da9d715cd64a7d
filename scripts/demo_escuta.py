#!/usr/bin/python3
"""escuta's main job in a private sound session (PipeWire and Xvfb of its own):
list what can be captured, then capture a second of a tone being played."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from sessao_de_som import Sessao, esperar, floats, gerar_tom, goertzel  # noqa: E402

escuta = sys.argv[1]
os.environ["ESCUTA"] = escuta
with tempfile.TemporaryDirectory() as pasta, Sessao(tela="1920x1080") as s:
    tom = os.path.join(pasta, "la.wav")
    gerar_tom(tom, 440, 10)
    s.tocar("tocador-la", tom)
    esperar(lambda: "tocador-la" in s.rodar("pw-cli", "ls", "Client").stdout)
    print("$ escuta --listar")
    p = s.escuta("--listar")
    saida, erro = p.communicate(timeout=20)
    print(saida.decode() + f"\n(status {p.returncode})")
    print("$ escuta --audio --canais 1 | head -c 192000")
    p = s.escuta("--audio", "--canais", "1")
    print(p.stderr.readline().decode(), end="")
    dados = p.stdout.read(192000)
    p.kill()
    p.wait()
    amostras = floats(dados)
    print(f"{len(dados)} bytes: {len(amostras)} amostras mono a 48 kHz; energia em 440 Hz "
          f"{goertzel(amostras, 48000, 440):.2e}, em 1000 Hz {goertzel(amostras, 48000, 1000):.2e}")
