#!/usr/bin/python3
"""The README's "Reading the output" against the tools: the fields, decimals,
end lines, statuses and messages it names are those the real binaries write
(and, for messages a run here cannot provoke, those in the sources)."""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from manual_test import do_codigo, secoes  # noqa: E402
from sessao_de_som import TONS, Captura, Sessao, esperar  # noqa: E402

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROSTO = os.environ.get("ROSTO", os.path.join(RAIZ, "build", "bin", "rosto"))


def secao(subtitulo):
    """The README's text under "## Reading the output", "### <subtitulo>"."""
    with open(os.path.join(RAIZ, "README.md"), encoding="utf-8") as f:
        leitura = f.read().split("\n## Reading the output\n", 1)[1].split("\n## ", 1)[0]
    return leitura.split(f"\n### {subtitulo}\n", 1)[1].split("\n### ", 1)[0]


def tabela(texto):
    """The rows of the section's first table, as lists of cells."""
    linhas = [l for l in texto.splitlines() if l.startswith("|")]
    return [[c.strip() for c in l.strip("|").split("|")] for l in linhas[2:]]


def blocos(texto):
    return re.findall(r"```\n(.*?)\n```", texto, re.S)


def mensagens(texto):
    """The fixed start of every message the text quotes as `... <what>`, or whole when it has no placeholder."""
    corrido = re.sub(r"```.*?```", "", texto, flags=re.S)
    return [m.split("<")[0].strip() for m in re.findall(r"`([^`\n]+)`", corrido)
            if " " in m and "--" not in m and not m.startswith("{")]


class Rosto(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.texto = secao("rosto")
        cls.pasta = tempfile.mkdtemp(prefix="rosto-leitura-")
        # A photo in a 1280x720 frame, 10 frames a second: the samples at
        # 1/3 s fall between frames, and a square face is not square in fractions.
        cls.clipe = os.path.join(cls.pasta, "clipe.mp4")
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-loop", "1", "-i",
                        os.path.join(RAIZ, ".fotos", "grace_hopper.jpg"), "-f", "lavfi", "-i",
                        "color=c=gray:s=1280x720:r=10", "-filter_complex", "[0]scale=-2:300[f];[1][f]overlay=400:200",
                        "-t", "1", "-pix_fmt", "yuv420p", "-c:v", "libx264", cls.clipe], check=True)
        p = subprocess.run([ROSTO, cls.clipe, "--fps", "3"], capture_output=True, timeout=60)
        cls.status, cls.saida, cls.erro = p.returncode, p.stdout.decode(), p.stderr.decode()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.pasta, ignore_errors=True)

    def campos(self):
        """Field -> (its table row's text, its decimals or None)."""
        linhas = {}
        for campo, texto, escrito in tabela(self.texto):
            decimais = re.fullmatch(r"(\d+) decimals", escrito)
            linhas[campo.strip("`")] = (texto, int(decimais[1]) if decimais else None)
        return linhas

    def test_campos_decimais_e_tempos_pedidos(self):
        self.assertEqual((self.status, self.erro), (0, ""))
        campos = self.campos()
        amostras = self.saida.splitlines()[:-1]
        self.assertEqual(len(amostras), 3)
        for linha in amostras:
            registro = json.loads(linha)
            self.assertEqual(list(registro), list(campos), linha)  # the table's fields, in their order
            for campo, (_, decimais) in campos.items():
                if decimais is not None:
                    self.assertRegex(linha, rf'"{campo}":-?\d+\.\d{{{decimais}}}[,}}]')
            proprios = re.findall(r"`(\w)`", campos["rostos"][0])
            for rosto in registro["rostos"]:
                self.assertEqual(list(rosto), proprios)
        # t is the time asked for, as the table's example gives it (the frames are at tenths).
        exemplo = re.findall(r"\d\.\d{3}", campos["t"][0])
        self.assertEqual([re.match(r'\{"t":([\d.]+)', l)[1] for l in amostras], exemplo)

    def test_rosto_quadrado_da_dois_numeros(self):
        fim = json.loads(self.saida.splitlines()[-1])
        for linha in self.saida.splitlines()[:-1]:
            r = json.loads(linha)
            self.assertNotEqual(r["w"], r["h"])
            self.assertAlmostEqual(r["w"] * fim["largura"], r["h"] * fim["altura"], delta=1.5)
        # The README's own example is such a face.
        w, h = (float(x) for x in re.search(r'"w":([\d.]+),"h":([\d.]+)', self.texto).groups())
        self.assertAlmostEqual(w * 1280, h * 720, delta=1.0)

    def test_fim_e_status_zero(self):
        exemplo = json.loads(blocos(self.texto)[0])
        fim = json.loads(self.saida.splitlines()[-1])
        self.assertEqual(list(fim), list(exemplo))
        self.assertEqual({k: type(v) for k, v in fim.items()}, {k: type(v) for k, v in exemplo.items()})
        self.assertEqual(fim["amostras"], len(self.saida.splitlines()) - 1)
        self.assertRegex(self.saida.splitlines()[-1], r'"duracao":\d+\.\d{3}\}$')
        self.assertEqual(self.status, 0)

    def test_so_arquivos_comuns(self):
        """A directory and a FIFO: one line, status 2, nothing on standard output, the FIFO never opened."""
        mensagem = next(m for m in mensagens(self.texto) if "vídeo" in m)
        fifo = os.path.join(self.pasta, "fifo.mp4")
        os.mkfifo(fifo)
        for caminho in (self.pasta, fifo):
            with self.subTest(caminho):
                p = subprocess.run([ROSTO, caminho], capture_output=True, timeout=15)
                self.assertEqual((p.returncode, p.stdout, p.stderr.decode()), (2, b"", f"{mensagem} {caminho}\n"))

    def test_mensagens_sao_as_da_ferramenta(self):
        pecas = do_codigo("rosto")[2]
        for m in mensagens(self.texto):
            with self.subTest(m):
                self.assertIn(m, pecas)


# The 5.1 programme of the README: a tone of its own on each channel.
SEIS = ("FL", "FR", "FC", "LFE", "RL", "RR")
TONS_51 = (300, 500, 700, 900, 1100, 1300)


def programa_51():
    caminho = os.path.join(TONS, "leitura-51.wav")
    if not os.path.exists(caminho):
        expressao = "|".join(f"0.1*sin(2*PI*{f}*t)" for f in TONS_51)
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                        f"aevalsrc={expressao}:s=48000:d=30:c=5.1", "-c:a", "pcm_s16le", caminho], check=True)
    return caminho


class Escuta(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.texto = secao("escuta")

    def test_ordem_dos_canais(self):
        """The README's table and the manual page's list are the layouts escuta asks its server for."""
        nomes = {"mono": "mono", "frenteEsquerda": "FL", "frenteDireita": "FR", "centro": "FC", "graves": "LFE",
                 "trasEsquerda": "RL", "trasDireita": "RR", "ladoEsquerdo": "SL", "ladoDireito": "SR",
                 "trasCentro": "RC"}
        with open(os.path.join(RAIZ, "escuta", "linux", "posicoes.cpp"), encoding="utf-8") as f:
            conhecidas = re.search(r"kConhecidas = \{(.*?)\n  \};", f.read(), re.S)[1]
        codigo = {str(k + 1): " ".join(nomes[p] for p in re.findall(r"P::(\w+)", camada))
                  for k, camada in enumerate(re.findall(r"\{(P::[^}]*)\}", conhecidas))}
        self.assertEqual(len(codigo), 8)
        readme = {n: ordem for n, ordem in tabela(self.texto) if n.isdigit()}
        with open(os.path.join(RAIZ, "man", "escuta.1"), encoding="utf-8") as f:
            som = secoes(f.read())["OUTPUT"]
        pagina = dict(l.split("  ", 1) for l in som if re.match(r"\d  ", l))
        self.assertEqual(readme, codigo)
        self.assertEqual(pagina, codigo)

    def test_listagem_sem_servidor(self):
        erro = next(b for b in blocos(self.texto) if b.startswith('{"erro"'))
        with Sessao(pipewire=False) as s:
            p = s.escuta("--listar")
            saida, stderr = p.communicate(timeout=20)
        self.assertEqual((p.returncode, saida, stderr.decode()), (1, b"", erro + "\n"))

    def capturar_51(self, sessao, tocar):
        """escuta --audio at 44100 Hz in six channels while the 5.1 programme plays; the
        ready line, then which channels carry sound and the level of each tone in each."""
        c = Captura(sessao, "--taxa", "44100", "--canais", "6")
        pronto = c.esperar_pronto()
        tocar()
        esperar(lambda: max(map(abs, c.canais(0.25, canais=6, taxa=44100)[0]), default=0) > 0.01,
                segundos=15, o_que="o programa 5.1")
        c.esperar_audio(0.5, desde=len(c.dados), taxa=44100, canais=6)
        canais = c.canais(0.5, canais=6, taxa=44100)
        self.assertTrue(all(-1 <= x <= 1 for canal in canais for x in canal))  # floats, little-endian
        c.p.send_signal(signal.SIGTERM)
        c.p.wait(timeout=10)
        self.assertEqual(c.p.returncode, -signal.SIGTERM)  # not caught: it dies by the signal
        c.parar()
        return pronto, [max(map(abs, canal)) > 0.01 for canal in canais], canais

    def test_pronto_pcm_e_disposicao_do_dispositivo(self):
        """A 5.1 programme on a stereo device, asked for in six channels: FL and FR on PipeWire;
        on PulseAudio the server spreads the device's two over FC, RL and RR too."""
        modelo = next(b for b in blocos(self.texto) if b.startswith("pronto:"))
        pronto = re.sub(r"\d+ Hz, \d+ canal", "44100 Hz, 6 canal", modelo) + "\n"
        esperados = {"PipeWire": {"FL", "FR"}, "PulseAudio": {"FL", "FR", "FC", "RL", "RR"}}
        for servidor, ouvidos in esperados.items():
            with self.subTest(servidor):
                if servidor == "PipeWire":
                    with Sessao(tela="800x600") as s:
                        linha, com_som, canais = self.capturar_51(s, lambda: s.tocar(
                            "programa-51", programa_51(), "--channel-map", ",".join(SEIS)))
                else:
                    with Sessao(tela="800x600", pipewire=False, pulseaudio=True) as s:
                        linha, com_som, canais = self.capturar_51(s, lambda: s.iniciar("paplay", programa_51()))
                self.assertEqual(linha, pronto)
                self.assertEqual({SEIS[k] for k, som in enumerate(com_som) if som}, ouvidos)
                self.assertTrue(all(x == 0.0 for k, canal in enumerate(canais) if SEIS[k] not in ouvidos
                                    for x in canal))

    def test_mensagens_sao_as_da_ferramenta(self):
        pecas = do_codigo("escuta")[2]
        for m in mensagens(self.texto):
            if m.startswith("pronto:"):
                continue
            with self.subTest(m):
                atras = re.fullmatch(r"captura interrompida: o leitor do stdout ficou (\d+) s de áudio para trás", m)
                if atras:  # made of a constant: the README's figure is the constant's
                    with open(os.path.join(RAIZ, "escuta", "linux", "limites.h"), encoding="utf-8") as f:
                        self.assertIn(f"kSegundosDeFolga = {atras[1]};", f.read())
                    self.assertIn("o leitor do stdout ficou", pecas)
                    continue
                self.assertIn(m, pecas)


if __name__ == "__main__":
    unittest.main(verbosity=2)
