"""The codecs and containers users' videos come in, as ffmpeg arguments.

Shared by the end-to-end test (clips of a packaged photo) and the fuzzing
seeds (tiny clips): each entry turns one input into one file.
"""
import os
import struct
import subprocess

from giro import girar

# name: (file extension, ffmpeg arguments after the input, display matrix written afterwards)
MATRIZ = {
    "h264_bquadros": ("mp4", ["-c:v", "libx264", "-bf", "3", "-g", "12", "-pix_fmt", "yuv420p"], 0),
    "h264_gop_aberto": ("mkv", ["-c:v", "libx264", "-bf", "2", "-x264-params", "open-gop=1:keyint=8",
                                "-pix_fmt", "yuv420p"], 0),
    "h264_444": ("mp4", ["-c:v", "libx264", "-pix_fmt", "yuv444p"], 0),
    "h264_10bits": ("mp4", ["-c:v", "libx264", "-pix_fmt", "yuv420p10le"], 0),
    "hevc_10bits": ("mp4", ["-c:v", "libx265", "-pix_fmt", "yuv420p10le", "-tag:v", "hvc1",
                            "-x265-params", "log-level=error"], 0),
    "vp8": ("webm", ["-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8"], 0),
    "vp9": ("webm", ["-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8"], 0),
    "av1": ("mkv", ["-c:v", "libaom-av1", "-cpu-used", "8", "-usage", "realtime"], 0),
    "mpeg2_entrelacado": ("mpg", ["-c:v", "mpeg2video", "-flags", "+ilme+ildct", "-top", "1",
                                  "-pix_fmt", "yuv420p"], 0),
    "mpeg4_parte2": ("avi", ["-c:v", "mpeg4", "-pix_fmt", "yuv420p"], 0),
    "mjpeg": ("avi", ["-c:v", "mjpeg", "-pix_fmt", "yuvj420p"], 0),
    "prores": ("mov", ["-c:v", "prores_ks", "-profile:v", "0"], 0),
    "theora": ("ogv", ["-c:v", "libtheora"], 0),
    "gif_animado": ("gif", [], 0),
    "png_em_mov": ("mov", ["-c:v", "png"], 0),
    # Stored turned the other way, as cameras do, so that what is displayed stands upright.
    "mov_90": ("mov", ["-vf", "transpose=1", "-c:v", "libx264", "-pix_fmt", "yuv420p"], 90),
    "mov_180": ("mov", ["-vf", "hflip,vflip", "-c:v", "libx264", "-pix_fmt", "yuv420p"], 180),
    "mov_270": ("mov", ["-vf", "transpose=2", "-c:v", "libx264", "-pix_fmt", "yuv420p"], 270),
    "mov_espelhado": ("mov", ["-vf", "hflip", "-c:v", "libx264", "-pix_fmt", "yuv420p"], "espelho"),
    "taxa_variavel": ("mkv", ["-vf", "setpts='if(lt(N,4),N*0.05,(N-2)*0.2)/TB'", "-fps_mode", "vfr",
                              "-c:v", "libx264", "-pix_fmt", "yuv420p"], 0),
    "audio_antes": ("mp4", ["-c:v", "libx264", "-pix_fmt", "yuv420p"], 0),
}


def espelhar(caminho):
    """Writes a horizontal mirror into the track header's matrix (no ffmpeg option does)."""
    with open(caminho, "r+b") as f:
        dados = f.read()
        tkhd = dados.index(b"tkhd")
        assert dados[tkhd + 4] == 0, "version 0 track header expected"
        largura = struct.unpack(">I", dados[tkhd + 80:tkhd + 84])[0] >> 16
        f.seek(tkhd + 44)
        f.write(struct.pack(">9I", 0xFFFF0000, 0, 0, 0, 0x00010000, 0, largura << 16, 0, 0x40000000))


def fazer(nome, entrada, pasta, quadros, taxa=10):
    """Encodes `entrada` (ffmpeg input arguments, bounded here) as entry `nome`; gives the path."""
    extensao, argumentos, giro = MATRIZ[nome]
    destino = os.path.join(pasta, f"{nome}.{extensao}")
    segundos = quadros / taxa
    antes = ["-f", "lavfi", "-i", f"sine=f=440:r=8000:d={segundos}"] if nome == "audio_antes" else []
    mapas = ["-map", "0:a", "-map", "1:v", "-c:a", "aac"] if antes else []
    # FFmpeg 7 refuses an output rate (-r) beside a variable-rate mode: such
    # an entry gets its rate from the fps filter ahead of its own timing.
    taxa_fixa = ["-r", str(taxa)]
    if "-fps_mode" in argumentos:
        taxa_fixa = []
        argumentos = [f"fps={taxa},{a}" if a.startswith("setpts") else a for a in argumentos]
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *antes, "-t", str(segundos), *entrada, *taxa_fixa,
                    "-frames:v", str(quadros), *mapas, *argumentos, destino], check=True)
    if giro == "espelho":
        espelhar(destino)
    elif giro:
        # ffmpeg writes the rotation only when copying, not while encoding
        girado = os.path.join(pasta, f"{nome}-girado.{extensao}")
        girar(destino, girado, int(giro))
        os.replace(girado, destino)
    return destino
