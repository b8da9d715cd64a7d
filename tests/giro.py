"""Remuxing a clip with a display rotation, with the ffmpeg installed.

FFmpeg 7 no longer turns the "rotate" metadata key into a display matrix;
it takes -display_rotation on the input instead, whose angle (measured
here) turns the picture the way "rotate" did.
"""
import functools
import subprocess


@functools.lru_cache(maxsize=1)
def tem_display_rotation():
    ajuda = subprocess.run(["ffmpeg", "-hide_banner", "-h", "full"], capture_output=True, text=True).stdout
    return "-display_rotation" in ajuda


def girar(origem, destino, graus):
    """Copies `origem` to `destino` turned `graus` clockwise for display."""
    if tem_display_rotation():
        args = ["-display_rotation:v:0", str(graus), "-i", origem, "-c", "copy"]
    else:
        args = ["-i", origem, "-c", "copy", "-metadata:s:v:0", f"rotate={graus}"]
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args, destino], check=True)
    return destino
