#!/usr/bin/python3
"""rosto end to end: the real binary on clips made here with the ffmpeg tool."""
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

import matriz_de_codecs
from giro import girar

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROSTO = os.environ.get("ROSTO", os.path.join(RAIZ, "build", "bin", "rosto"))
FOTOS = os.path.join(RAIZ, ".fotos")


def rodar(*args, env=None, timeout=60):
    ambiente = dict(os.environ)
    ambiente.pop("ROSTO_DEPURAR", None)
    ambiente.update(env or {})
    p = subprocess.run([ROSTO, *args], capture_output=True, timeout=timeout, env=ambiente)
    return p.returncode, p.stdout.decode(), p.stderr.decode()


class ComClipes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pasta = tempfile.mkdtemp(prefix="rosto-e2e-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.pasta, ignore_errors=True)

    def clipe(self, nome, *args):
        destino = os.path.join(self.pasta, nome)
        if not os.path.exists(destino):
            subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args, destino], check=True)
        return destino

    def cinza(self, nome, tamanho, segundos, taxa=30):
        return self.clipe(nome, "-f", "lavfi", "-i", f"color=c=gray:s={tamanho}:r={taxa}", "-t", str(segundos),
                          "-pix_fmt", "yuv420p", "-c:v", "libx264")

    def linhas(self, *args, **kw):
        status, saida, erro = rodar(*args, **kw)
        self.assertEqual(status, 0, erro)
        linhas = saida.splitlines()
        self.assertTrue(saida.endswith("\n"))
        return [json.loads(l) for l in linhas]


class Resumo(ComClipes):
    def test_dois_segundos_em_1080p(self):
        c = self.cinza("a.mp4", "1920x1080", 2)
        status, saida, erro = rodar(c)
        self.assertEqual((status, erro), (0, ""))
        linhas = saida.splitlines()
        self.assertEqual(len(linhas), 12)
        self.assertEqual(linhas[-1], '{"fim":true,"amostras":11,"largura":1920,"altura":1080,"duracao":2.000}')
        self.assertEqual(linhas[0], '{"t":0.000}')
        self.assertEqual(linhas[-2], '{"t":2.000}')

    def test_contagens(self):
        um = self.cinza("um.mp4", "320x240", 1)
        tres = self.cinza("tres.mp4", "320x240", 3)
        self.assertEqual(self.linhas(um)[-1]["amostras"], 5)
        self.assertEqual(self.linhas(tres, "--fps", "0.5")[-1]["amostras"], 2)
        self.assertEqual([r["t"] for r in self.linhas(tres, "--fps", "0.5")[:-1]], [0, 2])
        for args in (["--fim", "0"], ["--inicio", "3"], ["--inicio", "7"]):
            self.assertEqual(self.linhas(tres, *args),
                             [{"fim": True, "amostras": 0, "largura": 320, "altura": 240, "duracao": 3.0}], args)

    def test_video_em_pe(self):
        c = self.cinza("deitado.mp4", "1920x1080", 1)
        girado = girar(c, os.path.join(self.pasta, "empe.mp4"), 90)
        fim = self.linhas(girado)[-1]
        self.assertEqual((fim["largura"], fim["altura"]), (1080, 1920))

    def test_depuracao_com_valor_vazio(self):
        c = self.cinza("d.mp4", "1280x720", 1)
        status, saida, erro = rodar(c, "--fim", "0.7", env={"ROSTO_DEPURAR": ""})
        self.assertEqual(status, 0)
        self.assertEqual(erro, "quadro 0.0: 640x360 rostos=0\nquadro 0.2: 640x360 rostos=0\n"
                               "quadro 0.4: 640x360 rostos=0\nquadro 0.6000000000000001: 640x360 rostos=0\n")

    def test_saida_que_nao_aceita_escrita(self):
        """A standard output that takes nothing (a full disk) ends the run with status 2, never 0."""
        c = self.cinza("cheio.mp4", "320x240", 1)
        with open("/dev/full", "wb") as cheio:
            p = subprocess.run([ROSTO, c], stdout=cheio, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual((p.returncode, p.stderr.decode()),
                         (2, "não consegui escrever os registros no stdout: No space left on device\n"))


class Rostos(ComClipes):
    def test_rosto_que_anda_e_seguido(self):
        foto = os.path.join(FOTOS, "grace_hopper.jpg")
        c = self.clipe("anda.mp4", "-loop", "1", "-i", foto, "-f", "lavfi", "-i", "color=c=gray:s=1280x720:r=30",
                       "-filter_complex", "[0]scale=-2:300[f];[1][f]overlay=x='100+400*t':y=200:shortest=1",
                       "-t", "2", "-pix_fmt", "yuv420p", "-c:v", "libx264")
        registros = self.linhas(c)[:-1]
        self.assertEqual(len(registros), 11)
        xs = [r["x"] for r in registros]
        self.assertTrue(all(r["n"] == 1 for r in registros))
        self.assertTrue(all(b > a for a, b in zip(xs, xs[1:])), xs)
        # 400 px/s over 1280 px: 0.0625 of the width per 0.2 s sample.
        self.assertAlmostEqual((xs[-1] - xs[0]) / 10, 0.0625, delta=0.005)

    def test_video_em_pe_tem_o_rosto_de_pe(self):
        # Encoded lying down (turned clockwise); the display matrix stands it up.
        foto = os.path.join(FOTOS, "astronaut.png")
        deitado = self.clipe("deitado_rosto.mp4", "-loop", "1", "-i", foto, "-vf",
                             "scale=360:360,pad=360:640:0:140,transpose=1", "-t", "1", "-r", "10",
                             "-pix_fmt", "yuv420p", "-c:v", "libx264")
        empe = girar(deitado, os.path.join(self.pasta, "empe_rosto.mp4"), 90)
        registros = self.linhas(empe)
        self.assertEqual((registros[-1]["largura"], registros[-1]["altura"]), (360, 640))
        for r in registros[:-1]:
            self.assertEqual(r.get("n"), 1, r)
            # The face sits in the upper part of the standing picture: 140 px of pad, then 0.23 of 360.
            self.assertAlmostEqual(r["y"], (140 + 0.23 * 360) / 640, delta=0.04)
            self.assertAlmostEqual(r["x"], 0.43, delta=0.04)


    def test_mesmos_bytes_com_uma_ou_todas_as_cpus(self):
        # Faces of many sizes at once, so that every tile and the closer looks have work.
        foto = os.path.join(FOTOS, "grace_hopper.jpg")
        c = self.clipe("varios.mp4", "-loop", "1", "-i", foto, "-f", "lavfi", "-i", "color=c=gray:s=1280x720:r=30",
                       "-filter_complex", "[0]split=3[a][b][c];[a]scale=-2:400[g];[b]scale=-2:90[m];"
                       "[c]scale=-2:120[p];[1][g]overlay=x='50+200*t':y=100[x];[x][m]overlay=x=800:y=500[y];"
                       "[y][p]overlay=x='1100-150*t':y=80:shortest=1",
                       "-t", "2", "-pix_fmt", "yuv420p", "-c:v", "libx264")
        todas = subprocess.run([ROSTO, c], capture_output=True, check=True).stdout
        uma = subprocess.run(["taskset", "-c", str(min(os.sched_getaffinity(0))), ROSTO, c], capture_output=True,
                             check=True).stdout
        self.assertEqual(uma, todas)
        contagens = [json.loads(l).get("n", 0) for l in todas.splitlines()[:-1]]
        self.assertGreater(sum(contagens), len(contagens), contagens)  # several faces a sample


class CodecsERecipientes(ComClipes):
    """A packaged photo in every codec and container users' videos come in."""

    def test_cada_codec_e_recipiente(self):
        foto = os.path.join(FOTOS, "grace_hopper.jpg")  # 512 x 600
        for nome in matriz_de_codecs.MATRIZ:
            with self.subTest(nome):
                c = matriz_de_codecs.fazer(nome, ["-loop", "1", "-i", foto], self.pasta, quadros=10)
                status, saida, erro = rodar(c)
                self.assertEqual((status, erro), (0, ""))
                linhas = [json.loads(l) for l in saida.splitlines()]
                fim = linhas[-1]
                self.assertEqual(fim["amostras"], len(linhas) - 1)
                self.assertGreaterEqual(fim["amostras"], 4)
                # Turned files are stored turned the other way: displayed, all stand upright.
                self.assertEqual((fim["largura"], fim["altura"]), (512, 600))
                com_rosto = [r for r in linhas[:-1] if r.get("n") == 1]
                self.assertGreaterEqual(len(com_rosto), 0.8 * fim["amostras"], linhas)
                for r in com_rosto:  # where the face is in the photo itself
                    self.assertAlmostEqual(r["x"], 0.52, delta=0.04, msg=r)
                    self.assertAlmostEqual(r["y"], 0.40, delta=0.04, msg=r)


class SemVideo(ComClipes):
    def espera_sem_video(self, caminho):
        status, saida, erro = rodar(caminho, timeout=15)
        self.assertEqual((status, saida, erro), (2, "", f"o arquivo não tem vídeo: {caminho}\n"))

    def test_arquivos_que_nao_sao_video(self):
        texto = os.path.join(self.pasta, "texto.mp4")
        with open(texto, "w") as f:
            f.write("nada de vídeo aqui\n")
        vazio = os.path.join(self.pasta, "vazio.mp4")
        open(vazio, "w").close()
        aleatorio = os.path.join(self.pasta, "aleatorio.mp4")
        with open(aleatorio, "wb") as f:
            f.write(os.urandom(200000))
        som = self.clipe("som.m4a", "-f", "lavfi", "-i", "sine=d=1", "-c:a", "aac")
        bom = self.cinza("bom.mp4", "320x240", 2)
        cortado = os.path.join(self.pasta, "cortado.mp4")
        with open(bom, "rb") as f, open(cortado, "wb") as g:
            g.write(f.read(2000))
        fifo = os.path.join(self.pasta, "fifo.mp4")
        os.mkfifo(fifo)
        for c in (os.path.join(self.pasta, "falta.mp4"), self.pasta, texto, vazio, aleatorio, som, fifo,
                  "/dev/zero", "/dev/urandom"):
            with self.subTest(c):
                self.espera_sem_video(c)

    def test_caminho_relativo_a_pasta_atual(self):
        self.cinza("rel.mp4", "320x240", 1)
        p = subprocess.run([ROSTO, "rel.mp4"], capture_output=True, cwd=self.pasta, timeout=30)
        self.assertEqual(p.returncode, 0)
        p = subprocess.run([ROSTO, "./nao.mp4"], capture_output=True, cwd=self.pasta, timeout=30)
        self.assertEqual(p.stderr.decode(), "o arquivo não tem vídeo: ./nao.mp4\n")


class Hostis(ComClipes):
    """Damaged or odd files: no crash, no hang; either the no-video message or
    one record per sample and the summary."""

    def espera_sensato(self, caminho):
        status, saida, erro = rodar(caminho, timeout=60)
        if status == 2:
            self.assertEqual((saida, erro), ("", f"o arquivo não tem vídeo: {caminho}\n"))
            return None
        self.assertEqual(status, 0, erro)
        linhas = [json.loads(l) for l in saida.splitlines()]
        fim = linhas[-1]
        self.assertTrue(fim["fim"])
        self.assertEqual(fim["amostras"], len(linhas) - 1)
        return linhas

    def bytes_de(self, caminho):
        with open(caminho, "rb") as f:
            return f.read()

    def escrever(self, nome, dados):
        caminho = os.path.join(self.pasta, nome)
        with open(caminho, "wb") as f:
            f.write(dados)
        return caminho

    def test_cortes_e_lixo(self):
        bom = self.clipe("inteiro.mp4", "-f", "lavfi", "-i", "testsrc=s=320x240:r=25", "-t", "3",
                         "-movflags", "+faststart", "-c:v", "libx264", "-pix_fmt", "yuv420p")
        dados = self.bytes_de(bom)
        for fracao in (0.1, 0.5, 0.99):
            with self.subTest(corte=fracao):
                self.espera_sensato(self.escrever(f"corte{fracao}.mp4", dados[:int(len(dados) * fracao)]))
        moov = dados.find(b"moov")
        tamanho = int.from_bytes(dados[moov - 4:moov], "big")
        zerado = dados[:moov + 4] + bytes(tamanho - 8) + dados[moov - 4 + tamanho:]
        self.espera_sensato(self.escrever("moov_zerado.mp4", zerado))
        lixo = dados[:moov - 4 + tamanho] + os.urandom(len(dados) - (moov - 4 + tamanho))
        linhas = self.espera_sensato(self.escrever("lixo.mp4", lixo))
        self.assertIsNotNone(linhas)  # the header is intact: it is a video, its samples get records

    def test_tamanhos_extremos_e_sem_quadros(self):
        um = self.clipe("1x1.mkv", "-f", "lavfi", "-i", "color=s=2x2:r=5", "-t", "1", "-vf", "scale=1:1",
                        "-c:v", "ffv1")
        self.assertEqual(self.espera_sensato(um)[-1]["amostras"], 5)
        vazio = self.clipe("zero.mp4", "-f", "lavfi", "-i", "color=s=64x64:r=5", "-frames:v", "0",
                           "-c:v", "libx264")
        self.espera_sensato(vazio)
        # A 16384x16384 declared size with a few bytes of picture: nothing that big is ever there.
        enorme = self.escrever("enorme.y4m", b"YUV4MPEG2 W16384 H16384 F25:1 Ip A1:1 C420jpeg\n"
                               + (b"FRAME\n" + os.urandom(5000)) * 3)
        linhas = self.espera_sensato(enorme)
        if linhas:
            self.assertEqual((linhas[-1]["largura"], linhas[-1]["altura"]), (16384, 16384))

    def test_tempos_que_voltam(self):
        c = self.clipe("volta.mkv", "-f", "lavfi", "-i", "testsrc=s=160x120:r=10", "-t", "3",
                       "-vf", "setpts='if(between(N,10,14),(N-8)/10,N/10)/TB'", "-fps_mode", "passthrough",
                       "-c:v", "libx264", "-bf", "0")
        linhas = self.espera_sensato(c)
        self.assertIsNotNone(linhas)
        self.assertGreater(len(linhas), 10)


class LinhaDeComando(unittest.TestCase):
    USO = "uso: rosto <video> [--fps 5] [--inicio s] [--fim s]\n"

    def test_falhas(self):
        self.assertEqual(rodar(), (2, "", self.USO))
        self.assertEqual(rodar("--fps", "3", "v.mp4"), (2, "", self.USO))
        self.assertEqual(rodar("/nao/existe.mp4", "--xyz"), (2, "", "argumento desconhecido: --xyz\n"))

    def test_modelo_ausente_ou_estragado(self):
        """A model that cannot be used is refused at start: status 2, one line, no records."""
        real = os.path.join(os.path.dirname(ROSTO), "..", "share", "rosto", "face_detection_full_range.tflite")
        curto = os.path.join(os.path.dirname(ROSTO), "..", "share", "rosto", "face_detection_short_range.tflite")
        with open(real, "rb") as f:
            bytes_reais = f.read()
        with open(curto, "rb") as f:
            bytes_curto = f.read()
        casos = [  # (what the full-range file holds, or None for no file; the reason after the path)
            (None, "modelo ausente ou ilegível: {}"),
            (bytes_reais[:len(bytes_reais) // 2], "{}: não é um modelo TFLite íntegro"),
            (b"TFL3" * 64, "{}: não é um modelo TFLite íntegro"),
            (bytes_curto, "{}: entrada ou saídas não são as de face_detection_full_range.tflite"),
            (b"", "modelo de tamanho impossível: {}"),
        ]
        with tempfile.NamedTemporaryFile(suffix=".mp4") as v:
            subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                            "color=s=64x48:r=5", "-t", "1", "-c:v", "libx264", v.name], check=True)
            for conteudo, motivo in casos:
                with self.subTest(motivo=motivo, bytes=None if conteudo is None else len(conteudo)):
                    pasta = tempfile.mkdtemp(prefix="rosto-sem-modelo-")
                    try:
                        os.makedirs(os.path.join(pasta, "bin"))
                        os.makedirs(os.path.join(pasta, "share", "rosto"))
                        copia = os.path.join(pasta, "bin", "rosto")
                        shutil.copy(ROSTO, copia)
                        shutil.copy(curto, os.path.join(pasta, "share", "rosto"))
                        modelo = os.path.join(pasta, "share", "rosto", "face_detection_full_range.tflite")
                        if conteudo is not None:
                            with open(modelo, "wb") as f:
                                f.write(conteudo)
                        p = subprocess.run([copia, v.name], capture_output=True, timeout=30)
                        self.assertEqual((p.returncode, p.stdout), (2, b""))
                        self.assertEqual(p.stderr.decode(),
                                         "não consegui carregar o detector de rostos: " + motivo.format(modelo) + "\n")
                    finally:
                        shutil.rmtree(pasta, ignore_errors=True)

if __name__ == "__main__":
    unittest.main(verbosity=2)
