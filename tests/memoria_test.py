#!/usr/bin/python3
"""No leak, checked by LeakSanitizer in the sanitized build: a planted leak is
caught (so the check really runs here), then a whole rosto run, a rosto
failure and an escuta listing, which leave through _Exit, end clean."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sessao_de_som import Sessao  # noqa: E402

BIN = os.environ["BIN"]
VAZAMENTO = "ERROR: LeakSanitizer: detected memory leaks"


class SemVazamento(unittest.TestCase):
    def test_vazamento_plantado_e_pego(self):
        p = subprocess.run([os.path.join(BIN, "vazamento_plantado")], capture_output=True, text=True, timeout=60)
        self.assertNotEqual(p.returncode, 0)
        self.assertIn(VAZAMENTO, p.stderr)
        self.assertIn("vazamento_plantado.cpp", p.stderr)

    def test_rosto(self):
        with tempfile.NamedTemporaryFile(suffix=".mp4") as v:
            subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=s=320x240:r=10",
                            "-t", "1", "-c:v", "libx264", v.name], check=True)
            p = subprocess.run([os.path.join(BIN, "rosto"), v.name], capture_output=True, text=True, timeout=300)
            self.assertEqual((p.returncode, p.stderr), (0, ""))
            self.assertEqual(p.stdout.count("\n"), 6)
            p = subprocess.run([os.path.join(BIN, "rosto"), v.name, "--xyz"], capture_output=True, text=True,
                               timeout=300)
            self.assertEqual((p.returncode, p.stderr), (2, "argumento desconhecido: --xyz\n"))

    def test_listagem_do_escuta(self):
        for servidor in ({"pipewire": True}, {"pipewire": False, "pulseaudio": True}):
            with self.subTest(servidor), Sessao(tela="800x600", **servidor) as s:
                p = subprocess.run([os.path.join(BIN, "escuta"), "--listar"], env=s.env, capture_output=True,
                                   text=True, timeout=300)
            self.assertEqual((p.returncode, p.stderr), (0, ""))
            self.assertTrue(p.stdout.startswith('{"telas":[{"id":'))


if __name__ == "__main__":
    unittest.main(verbosity=2)
