#!/usr/bin/python3
"""No leak under valgrind: a whole rosto run and an escuta listing."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sessao_de_som import Sessao  # noqa: E402

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.environ.get("BIN", os.path.join(RAIZ, "build", "bin"))
VALGRIND = ["valgrind", "--leak-check=full", "--errors-for-leak-kinds=definite,indirect", "--error-exitcode=9"]


class SemVazamento(unittest.TestCase):
    def confere(self, p):
        self.assertEqual(p.returncode, 0, p.stderr[-3000:])
        self.assertIn("definitely lost: 0 bytes", p.stderr)
        self.assertIn("indirectly lost: 0 bytes", p.stderr)

    def test_rosto(self):
        with tempfile.NamedTemporaryFile(suffix=".mp4") as v:
            subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=s=320x240:r=10",
                            "-t", "1", "-c:v", "libx264", v.name], check=True)
            p = subprocess.run([*VALGRIND, os.path.join(BIN, "rosto"), v.name], capture_output=True, text=True,
                               timeout=600)
        self.confere(p)
        self.assertEqual(p.stdout.count("\n"), 6)

    def test_listagem_do_escuta(self):
        with Sessao(tela="800x600") as s:
            p = subprocess.run([*VALGRIND, os.path.join(BIN, "escuta"), "--listar"], env=s.env, capture_output=True,
                               text=True, timeout=600)
        self.confere(p)
        self.assertTrue(p.stdout.startswith('{"telas":[{"id":'))


if __name__ == "__main__":
    unittest.main(verbosity=2)
