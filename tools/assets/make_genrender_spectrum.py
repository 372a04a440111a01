"""The README's picture of genrender's two qualities: docs/genrender_spectrum.png.

Renders 2 s of a 1 kHz sine at -1 dBFS with genrender twice, in the live
quality (the program's 16-bit output) and in high quality as 16-bit PCM with
TPDF dither, and draws the spectrum of each side by side: averaged FFTs of
16,384 frames of the left channel from 0.25 s on, in dBFS per bin (a
full-scale sine peaks at 0 dB), through a 7-term Blackman-Harris window whose
side lobes (-180 dB) stay below the 16-bit noise floor, with the THD+N of a
least-squares sine fit (frequency included) over the same frames. Run from
the repo root after `make tools`:

    /usr/bin/python3 tools/assets/make_genrender_spectrum.py build/bench/tools/genrender

Needs numpy, Pillow and the DejaVu fonts (Debian: python3-numpy, python3-pil,
fonts-dejavu-core).
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

import numpy as np
from PIL import Image, ImageDraw, ImageFont

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "genrender_spectrum.png")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
RATE = 44100
FFT = 16384
SIZE = (440, 300)  # one panel
PLOT = (58, 34, 425, 262)  # the plot area within a panel: left, top, right, bottom
LOW_HZ, HIGH_HZ, FLOOR_DB = 20.0, 22050.0, -160.0


def write_set_file(path):
    """The defaults (1 kHz sine, -10 dB) at -1 dB: the 48-byte text, then the record."""
    words = [0] * 46
    floats = {11: 0.05, 13: -1.0, 17: 1000.0, 21: 20.0, 22: 15000.0, 23: 1.0, 28: 3.0, 29: 0.3}
    words[16] = 1  # pink mono as the noise type, as in the defaults
    body = b"".join(struct.pack("<f", floats[i]) if i in floats else struct.pack("<i", words[i])
                    for i in range(46))
    with open(path, "wb") as f:
        f.write(b"TARNWELL-GENERATOR.DefFileForStandAloneGenerator" + body)


def render(genrender, set_file, wav, quality):
    subprocess.run([genrender, "-s", set_file, "-d", "2", "--quality", quality, "-o", wav], check=True)
    with wave.open(wav) as w:
        x = np.frombuffer(w.readframes(w.getnframes()), "<i2").reshape(-1, 2)[:, 0]
    return x[RATE // 4:].astype(np.float64) / 32767.0


def spectrum_db(x):
    t = 2 * np.pi * np.arange(FFT) / FFT
    a = [0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
         0.01081174209837, 0.00077658482522, 0.00001388721735]
    window = sum((-1) ** k * a[k] * np.cos(k * t) for k in range(len(a)))
    frames = [x[i:i + FFT] for i in range(0, len(x) - FFT + 1, FFT // 2)]
    power = np.mean([np.abs(np.fft.rfft(window * f)) ** 2 for f in frames], axis=0)
    return 10 * np.log10(power / (window.sum() / 2) ** 2 + 1e-30)


def thd_n_db(x):
    """a·cos(ωn) + b·sin(ωn) + c fitted, ω refined from 1 kHz by Gauss-Newton."""
    n = np.arange(len(x)) - (len(x) - 1) / 2
    w = 2 * np.pi * 1000 / RATE
    for _ in range(6):
        basis = np.stack([np.cos(w * n), np.sin(w * n), np.ones(len(x))], axis=1)
        fit, *_ = np.linalg.lstsq(basis, x, rcond=None)
        slope = n * (fit[1] * np.cos(w * n) - fit[0] * np.sin(w * n))
        step, *_ = np.linalg.lstsq(np.column_stack([basis, slope]), x - basis @ fit, rcond=None)
        w += step[3]
    basis = np.stack([np.cos(w * n), np.sin(w * n), np.ones(len(x))], axis=1)
    fit, *_ = np.linalg.lstsq(basis, x, rcond=None)
    residual = x - basis @ fit
    return 10 * np.log10(np.mean(residual ** 2) / (np.hypot(fit[0], fit[1]) ** 2 / 2))


def panel(title, x):
    img = Image.new("RGB", SIZE, (255, 255, 255))
    d = ImageDraw.Draw(img)
    font = ImageFont.truetype(FONT, 12)
    small = ImageFont.truetype(FONT, 10)
    left, top, right, bottom = PLOT

    def px(hz):
        return left + (right - left) * math.log(hz / LOW_HZ) / math.log(HIGH_HZ / LOW_HZ)

    def py(db):
        return top + (bottom - top) * (0.0 - db) / (0.0 - FLOOR_DB)

    for db in range(0, int(FLOOR_DB) - 1, -20):
        d.line([(left, py(db)), (right, py(db))], fill=(225, 225, 225))
        d.text((left - 6, py(db)), str(db), font=small, fill=(0, 0, 0), anchor="rm")
    for hz, label in [(20, "20"), (100, "100"), (1000, "1k"), (10000, "10k"), (20000, "20k")]:
        d.line([(px(hz), top), (px(hz), bottom)], fill=(225, 225, 225))
        d.text((px(hz), bottom + 4), label, font=small, fill=(0, 0, 0), anchor="mt")
    d.rectangle([left, top, right, bottom], outline=(0, 0, 0))
    db = spectrum_db(x)
    hz = np.arange(len(db)) * RATE / FFT
    points = [(px(f), py(max(FLOOR_DB, v))) for f, v in zip(hz[1:], db[1:]) if f >= LOW_HZ]
    d.line(points, fill=(30, 70, 160), width=1)
    d.text((left, 8), title, font=font, fill=(0, 0, 0))
    d.text((right, 8), "THD+N %.1f dB" % thd_n_db(x), font=font, fill=(160, 30, 30), anchor="ra")
    d.text(((left + right) / 2, bottom + 18), "Hz", font=small, fill=(0, 0, 0), anchor="mt")
    unit = Image.new("RGB", (40, 14), (255, 255, 255))
    ImageDraw.Draw(unit).text((20, 7), "dBFS", font=small, fill=(0, 0, 0), anchor="mm")
    img.paste(unit.rotate(90, expand=True), (4, (top + bottom) // 2 - 20))
    return img


def main():
    genrender = sys.argv[1] if len(sys.argv) > 1 else "build/bench/tools/genrender"
    with tempfile.TemporaryDirectory() as work:
        set_file = os.path.join(work, "tone.def")
        write_set_file(set_file)
        live = render(genrender, set_file, os.path.join(work, "live.wav"), "live")
        high = render(genrender, set_file, os.path.join(work, "high.wav"), "high")
    image = Image.new("RGB", (2 * SIZE[0], SIZE[1]), (255, 255, 255))
    image.paste(panel("live, 16-bit", live), (0, 0))
    image.paste(panel("high, 16-bit, TPDF dither", high), (SIZE[0], 0))
    image.save(OUT, optimize=True)
    print("wrote", os.path.normpath(OUT))


if __name__ == "__main__":
    main()
