"""Skin bitmaps and icon of the Generator program.

Writes into resources/generator/:
  skin_500.bmp  640x235  main panel: section frames, every control's label, read-out windows
  skin_509.bmp   24x24   small knob cap      skin_510.bmp  32x32  large knob cap
  skin_530.bmp   25x21   button, on          skin_531.bmp  25x21  button, off
  skin_532.bmp   26x19   lamp, on            skin_533.bmp  25x19  lamp, off
  skin_540.bmp  118x17   slider track        skin_541.bmp  20x15  slider thumb
  skin_550.bmp  123x78   options window background (gate on / gate off times)
  skin_551.bmp  150x128  tone-burst dialog background (cycles on / off, window, OK, Cancel)
  skin_552.bmp  150x128  sequence-length dialog background (order N, the period, OK, Cancel)
  skin_553.bmp  150x128  stepped-sweep dialog background (steps / octave, dwell, stepped, OK, Cancel)
  skin_554.bmp  200x208  output-level dialog background (reference, reading, full scale, unit, OK, Cancel)
  icon_100.ico  16x16 and 32x32, 32-bit with alpha
All bitmaps are 24-bit uncompressed BMP; the output is the same bytes on every run.
Rerun from the repo root:

    /usr/bin/python3 tools/assets/make_generator_skins.py

The grey family, bevels, keys and slider pieces come from tools/assets/make_ctl_bitmaps.py, so the
program's skin matches the control library's stock bitmaps. Needs Pillow and the DejaVu fonts.

Layout: CONTROLS below lists every control of the panel at its client position (top-left corner)
and size, in the order of the program's table (generator/panel/panel_parameters.cpp, which a native test
holds this list to, place by place, as it does PIVOT); the program creates the controls at exactly
these places and they paint over the plain rectangles left for them here. LABELS places the texts
next to them.
"""
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_ctl_bitmaps as ctl  # noqa: E402  (shared palette and drawing helpers)
from make_ctl_bitmaps import (  # noqa: E402
    BLACK, DARK, EDGE, FACE, HI, LIGHT, MID, SHADOW, SS, blend, frame, gray, supersampled)

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "generator")
FONTS = "/usr/share/fonts/truetype/dejavu/"

PANEL_W, PANEL_H = 640, 235
INK = gray(34)               # label text
INK_SOFT = gray(88)          # units
TICK = gray(64)              # knob scales
LCD = (200, 212, 186)        # read-out glass (the program writes black text on it)
LCD_TOP = (168, 180, 156)    # its shaded top row
GLASS = (30, 33, 35)         # dark display glass (title plate, icon)
TRACE = (70, 226, 92)        # green trace, the lamps' accent colour

LABEL = ImageFont.truetype(FONTS + "DejaVuSansCondensed-Bold.ttf", 8)
HEAD = ImageFont.truetype(FONTS + "DejaVuSansCondensed-Bold.ttf", 9)
SMALL = ImageFont.truetype(FONTS + "DejaVuSansCondensed.ttf", 8)

# ---- the panel's controls ---------------------------------------------------------------

SIZES = {"button": (25, 21), "lamp": (25, 19), "knob": (24, 24), "bigknob": (32, 32),
         "slider": (118, 17), "readout": (41, 16)}

# (name, kind, x, y): client position of the top-left corner; the control or read-out id in
# the comment. Buttons and lamps take the size of their off image.
CONTROLS = [
    ("on", "button", 46, 11),                       # 0
    ("on lamp", "lamp", 46, 32),                    # lamp of 0
    ("continuous", "button", 46, 63),               # 1
    ("one shot", "button", 46, 90),                 # 2
    ("gate", "button", 46, 179),                    # 60
    ("duration", "knob", 85, 119),                  # 3
    ("options", "button", 46, 203),                 # 70
    ("level", "bigknob", 157, 60),                  # 5
    ("gain", "knob", 158, 145),                     # 6
    ("0 dB", "button", 203, 43),                    # 7
    ("-10 dB", "button", 203, 66),                  # 8
    ("-20 dB", "button", 203, 89),                  # 9
    ("-30 dB", "button", 203, 112),                 # 10
    ("balance", "slider", 145, 199),                # 50
    ("waveform", "button", 277, 11),                # 11
    ("waveform lamp", "lamp", 277, 32),             # lamp of 11
    ("freq", "bigknob", 283, 61),                   # 12
    ("phase", "knob", 286, 114),                    # 13
    ("dc", "knob", 286, 149),                       # 14
    ("50 Hz", "button", 369, 65),                   # 15
    ("100 Hz", "button", 369, 88),                  # 16
    ("1 kHz", "button", 369, 111),                  # 17
    ("10 kHz", "button", 369, 134),                 # 18
    ("15 kHz", "button", 369, 157),                 # 19
    ("sine", "button", 279, 187),                   # 40
    ("triangle", "button", 309, 187),               # 41
    ("sawtooth", "button", 339, 187),               # 42
    ("square", "button", 369, 187),                 # 43
    ("noise", "button", 529, 12),                   # 20
    ("noise lamp", "lamp", 529, 33),                # lamp of 20
    ("impulse", "button", 529, 62),                 # 21
    ("pink mono", "button", 529, 86),               # 22
    ("pink anti-phase", "button", 529, 110),        # 23
    ("pink stereo", "button", 529, 134),            # 24
    ("multi-tone", "button", 529, 158),             # 25
    ("sweep", "button", 365, 11),                   # 26
    ("sweep end", "knob", 437, 39),                 # 27
    ("sweep start", "knob", 437, 71),               # 28
    ("sweep time", "knob", 437, 103),               # 29
    ("down", "button", 436, 135),                   # 30
    ("back & forth", "button", 436, 159),           # 31
    ("readout 0 duration", "readout", 79, 155),     # read-out 0 (its patch serves all nine)
    ("readout 1 level", "readout", 152, 103),       # read-out 1
    ("readout 2 gain", "readout", 193, 154),        # read-out 2
    ("readout 3 freq", "readout", 320, 81),         # read-out 3
    ("readout 4 phase", "readout", 320, 123),       # read-out 4
    ("readout 5 dc", "readout", 321, 159),          # read-out 5
    ("readout 6 end", "readout", 472, 48),          # read-out 6
    ("readout 7 start", "readout", 472, 80),        # read-out 7
    ("readout 8 time", "readout", 472, 112),        # read-out 8
]

# Rotation centre inside the knob image and the sweep (start, end) in degrees, counter-clockwise
# from the right; the knob turns clockwise from start to end.
PIVOT = {"knob": (13, 12), "bigknob": (17, 17)}
KNOB_SWEEP = {"duration": (225, 315), "level": (225, 315), "gain": (225, 315),
              "freq": (225, 45), "phase": (225, 315), "dc": (225, 315),
              "sweep end": (225, 45), "sweep start": (225, 45), "sweep time": (225, 315)}


def rect(name):
    """(x0, y0, x1, y1) of a control, right and bottom exclusive."""
    for n, kind, x, y in CONTROLS:
        if n == name:
            w, h = SIZES[kind]
            return x, y, x + w, y + h
    raise KeyError(name)


def right_of(name, gap=4):
    x0, y0, x1, y1 = rect(name)
    return x1 + gap, (y0 + y1) / 2


def above(name, gap=3):
    x0, y0, x1, y1 = rect(name)
    return (x0 + x1) / 2, y0 - gap


# ---- labels -----------------------------------------------------------------------------

# (text, font, anchor point, how): how is "l" (x = left edge, y = middle of the capitals),
# "c" (x = centre, y = middle), "r" (x = right edge), "b" (x = centre, y = bottom of the
# capitals). A "\n" in the text makes two lines centred on y.
LABELS = [
    ("ON", HEAD, right_of("on"), "l"),
    ("CONTINUOUS", LABEL, right_of("continuous"), "l"),
    ("ONE SHOT", LABEL, right_of("one shot"), "l"),
    ("DURATION", LABEL, (79, 131), "r"),
    ("ms", SMALL, right_of("readout 0 duration", 3), "l"),
    ("GATE", LABEL, right_of("gate"), "l"),
    ("OPTIONS", LABEL, right_of("options"), "l"),
    ("LEVEL", HEAD, (173, 53), "b"),
    ("0 dB", LABEL, right_of("0 dB"), "l"),
    ("\u221210 dB", LABEL, right_of("-10 dB"), "l"),
    ("\u221220 dB", LABEL, right_of("-20 dB"), "l"),
    ("\u221230 dB", LABEL, right_of("-30 dB"), "l"),
    ("GAIN|dB", LABEL, above("readout 2 gain"), "b"),
    ("BALANCE", LABEL, (204, 195), "b"),
    ("L", LABEL, (150, 195), "b"),
    ("R", LABEL, (258, 195), "b"),
    ("WAVEFORM", HEAD, right_of("waveform"), "l"),
    ("FREQ|Hz", LABEL, above("readout 3 freq"), "b"),
    ("PHASE|deg", LABEL, above("readout 4 phase"), "b"),
    ("DC", LABEL, above("readout 5 dc"), "b"),
    ("50 Hz", LABEL, right_of("50 Hz"), "l"),
    ("100 Hz", LABEL, right_of("100 Hz"), "l"),
    ("1 kHz", LABEL, right_of("1 kHz"), "l"),
    ("10 kHz", LABEL, right_of("10 kHz"), "l"),
    ("15 kHz", LABEL, right_of("15 kHz"), "l"),
    ("NOISE", HEAD, right_of("noise"), "l"),
    ("IMPULSE", LABEL, right_of("impulse"), "l"),
    ("PINK MONO", LABEL, right_of("pink mono"), "l"),
    ("PINK ANTI-PHASE", LABEL, right_of("pink anti-phase"), "l"),
    ("PINK STEREO", LABEL, right_of("pink stereo"), "l"),
    ("MULTI-TONE", LABEL, right_of("multi-tone"), "l"),
    ("SWEEP", HEAD, right_of("sweep"), "l"),
    ("END|Hz", LABEL, above("readout 6 end"), "b"),
    ("START|Hz", LABEL, above("readout 7 start"), "b"),
    ("TIME", LABEL, above("readout 8 time"), "b"),
    ("DOWN", LABEL, right_of("down"), "l"),
    ("BACK &\nFORTH", LABEL, right_of("back & forth"), "l"),
]

# Waveform pictures under the four waveform buttons, in the order sine, triangle, saw, square.
WAVE_GLYPHS = [("sine", "sine"), ("triangle", "triangle"), ("sawtooth", "saw"),
               ("square", "square")]


def cap_height(font):
    return -font.getbbox("H", anchor="ls")[1]


UNIT_GAP = 3  # pixels between a label and its unit


def text_box(text, font, at, how):
    """Where a label's ink goes: list of pieces (text, font, x, baseline, is_unit) and the
    bounding box of their ink. "NAME|unit" adds the unit in the small font after the name."""
    lines = text.split("\n")
    cap = cap_height(font)
    step = cap + 3
    x, y = at
    if how == "b":
        first = round(y) - (len(lines) - 1) * step
    else:
        first = round(y + cap / 2 - (len(lines) - 1) * step / 2)
    pieces, box = [], None
    for i, line in enumerate(lines):
        name, _, unit = line.partition("|")
        parts = [(name, font, False)] + ([(unit, SMALL, True)] if unit else [])
        w = font.getlength(name) + (UNIT_GAP + SMALL.getlength(unit) if unit else 0)
        lx = round({"l": x, "r": x - w}.get(how, x - w / 2))
        base = first + i * step
        for part, f, is_unit in parts:
            pieces.append((part, f, lx, base, is_unit))
            l, t, r, b = f.getbbox(part, anchor="ls")
            b0 = (lx + l, base + t, lx + r, base + b)
            box = b0 if box is None else (min(box[0], b0[0]), min(box[1], b0[1]),
                                          max(box[2], b0[2]), max(box[3], b0[3]))
            lx += round(f.getlength(part)) + UNIT_GAP
    return pieces, box


def draw_label(d, text, font, at, how, fill=INK):
    pieces, box = text_box(text, font, at, how)
    for part, f, x, base, is_unit in pieces:
        d.text((x, base), part, font=f, fill=INK_SOFT if is_unit or f is SMALL else fill,
               anchor="ls")
    return box


# ---- section frames ---------------------------------------------------------------------

# One etched frame round the panel and etched dividers between its sections, as polylines of
# inclusive pixel coordinates. The divider between the waveform and the sweep section is an L:
# the sweep section's top row holds its SWEEP switch above the frequency presets, the rest is the
# column of its knobs; under the sweep and noise sections sits the title plate.
OUTLINE = [(30, 3), (636, 3), (636, 229), (30, 229), (30, 3)]
DIVIDERS = [
    [(140, 3), (140, 229)],                                   # mode | level
    [(271, 3), (271, 229)],                                   # level | waveform
    [(361, 3), (361, 38), (429, 38), (429, 188), (636, 188)],  # waveform | sweep, title below
    [(523, 3), (523, 188)],                                   # sweep | noise
]
TITLE_PLATE = (433, 192, 633, 226)    # product name, under the sweep and noise sections
MAKER_BAND = (0, 0, 27, PANEL_H - 1)  # left edge: the maker's name, read bottom to top


def groove(d, pts):
    """Etched groove along a polyline: a shadow line with a highlight line one pixel right and
    down of it (the look of a line cut into the plate)."""
    d.line([(x + 1, y + 1) for x, y in pts], fill=HI)
    d.line(pts, fill=SHADOW)


# ---- pieces of the panel ----------------------------------------------------------------

def readout_window():
    """41x16 read-out glass: sunken one-pixel bevel, pale display, shaded top row. The program
    copies the patch at (79, 155) into every read-out and writes black text on it."""
    img = Image.new("RGB", (41, 16), LCD)
    d = ImageDraw.Draw(img)
    frame(d, (0, 0, 40, 15), SHADOW, HI)
    frame(d, (1, 1, 39, 14), DARK, blend(LCD, HI, 0.5))
    d.line((2, 2, 38, 2), fill=LCD_TOP)
    d.line((2, 3, 2, 13), fill=blend(LCD, LCD_TOP, 0.5))
    return img


def knob_scale(d, name, kind, x, y):
    """Tick marks every 45 degrees along the knob's sweep, just outside its cap, around the
    point the program turns the pointer about. Drawn supersampled onto an ink layer d."""
    px, py = PIVOT[kind]
    cx, cy = x + px, y + py          # pivot in edge coordinates (pixel (px, py)'s top-left)
    w = SIZES[kind][0]
    r0, r1 = w / 2 + 1.5, w / 2 + (5 if kind == "bigknob" else 4)
    start, end = KNOB_SWEEP[name]
    span = (start - end) % 360 or 360
    for k in range(span // 45 + 1):
        a = math.radians(start - 45 * k)
        ux, uy = math.cos(a), -math.sin(a)
        wide = 0.85 if k in (0, span // 45) else 0.7
        nx, ny = -uy * wide, ux * wide
        pts = [(cx + ux * r0 + nx, cy + uy * r0 + ny), (cx + ux * r1 + nx, cy + uy * r1 + ny),
               (cx + ux * r1 - nx, cy + uy * r1 - ny), (cx + ux * r0 - nx, cy + uy * r0 - ny)]
        d.polygon([(u * SS, v * SS) for u, v in pts], fill=255)


def wave_glyphs(ink):
    """Small pictures of the four waveforms, 17x9 pixels, 3 pixels under their buttons; the
    straight ones pixel-crisp, the sine drawn supersampled and strengthened a little."""
    d = ImageDraw.Draw(ink)
    for name, shape in WAVE_GLYPHS:
        x0, y0, x1, y1 = rect(name)
        gx, gy = x0 + 4, y1 + 4
        if shape == "sine":
            layer = Image.new("L", (18 * SS, 10 * SS), 0)
            pts = [((1.5 + 16 * t) * SS, (5 - 3.5 * math.sin(2 * math.pi * t)) * SS)
                   for t in (i / 64 for i in range(65))]
            ImageDraw.Draw(layer).line(pts, fill=255, width=round(1.25 * SS), joint="curve")
            layer = layer.reduce(SS).point(lambda v: min(255, v * 5 // 4))
            ink.paste(layer, (gx - 1, gy - 1), layer)
        elif shape == "triangle":
            d.line([(gx, gy + 4), (gx + 4, gy), (gx + 12, gy + 8), (gx + 16, gy + 4)], fill=255)
        elif shape == "saw":
            d.line([(gx, gy + 8), (gx + 8, gy), (gx + 8, gy + 8), (gx + 16, gy)], fill=255)
        else:
            d.line([(gx, gy + 8), (gx, gy), (gx + 8, gy), (gx + 8, gy + 8),
                    (gx + 16, gy + 8), (gx + 16, gy)], fill=255)


def maker_band(img):
    """Left edge strip: a slightly darker plate with the maker's name turned to read upwards."""
    d = ImageDraw.Draw(img)
    x0, y0, x1, y1 = MAKER_BAND
    d.rectangle(MAKER_BAND, fill=gray(178))
    d.line((x1, y0, x1, y1), fill=SHADOW)
    d.line((x1 + 1, y0, x1 + 1, y1), fill=HI)
    for y in (5, 218):
        ctl.screw(d, 11, y)
    font = ImageFont.truetype(FONTS + "DejaVuSansCondensed-Bold.ttf", 11)
    text = "QUENBY AUDIO"
    w = round(font.getlength(text)) + 4
    strip = Image.new("RGB", (w, 16), gray(178))
    sd = ImageDraw.Draw(strip)
    sd.text((2, 12), text, font=font, fill=gray(96), anchor="ls")
    strip = strip.transpose(Image.Transpose.ROTATE_90)
    img.paste(strip, (6, (y0 + y1 - w) // 2))


def title_plate(img):
    """Dark glass plate: the program's display (the program writes what plays right of the
    trace, generator/app/panel.cpp), a green sine trace and the product name under it."""
    d = ImageDraw.Draw(img)
    x0, y0, x1, y1 = TITLE_PLATE
    d.rectangle(TITLE_PLATE, fill=GLASS)
    frame(d, (x0, y0, x1, y1), SHADOW, HI)
    frame(d, (x0 + 1, y0 + 1, x1 - 1, y1 - 1), gray(12), MID)
    for y in range(y0 + 2, y1 - 1):
        t = (y - y0 - 2) / (y1 - y0 - 4)
        d.line((x0 + 2, y, x1 - 2, y), fill=blend((52, 56, 58), (24, 26, 28), t))
    # trace: two periods of a sine in a small graticule at the left
    gx0, gy0, gx1, gy1 = x0 + 7, y0 + 5, x0 + 51, y1 - 12
    for gx in range(gx0, gx1 + 1, 11):
        d.line((gx, gy0, gx, gy1), fill=(56, 66, 60))
    midy = (gy0 + gy1) // 2
    for gy in (gy0, midy, gy1):
        d.line((gx0, gy, gx1, gy), fill=(56, 66, 60))
    layer = Image.new("L", ((gx1 - gx0 + 1) * SS, (gy1 - gy0 + 1) * SS), 0)
    amp, mid, width = (gy1 - gy0) / 2 - 2, (gy1 - gy0) / 2 + 0.5, gx1 - gx0
    pts = [(u * SS, (mid - amp * math.sin(4 * math.pi * u / width)) * SS)
           for u in (i / 4 for i in range(width * 4 + 1))]
    ImageDraw.Draw(layer).line(pts, fill=255, width=round(1.4 * SS), joint="curve")
    layer = layer.reduce(SS)
    img.paste(Image.new("RGB", layer.size, TRACE), (gx0, gy0), layer)
    name = ImageFont.truetype(FONTS + "DejaVuSansCondensed-Bold.ttf", 7)
    d.text(((gx0 + gx1) / 2, y1 - 3), "GENERATOR", font=name, fill=gray(150), anchor="ms")
    # the display's glass: a faint rule between its two lines
    d.line((x0 + 60, (y0 + y1) // 2 + 1, x1 - 6, (y0 + y1) // 2 + 1), fill=(44, 48, 50))


def panel():
    img = Image.new("RGB", (PANEL_W, PANEL_H), FACE)
    d = ImageDraw.Draw(img)
    maker_band(img)
    for pts in [OUTLINE] + DIVIDERS:
        groove(d, pts)
    title_plate(img)

    # knob scales and waveform pictures: one ink layer, laid on in the label colour
    ink = Image.new("L", (PANEL_W * SS, PANEL_H * SS), 0)
    sd = ImageDraw.Draw(ink)
    for name, kind, x, y in CONTROLS:
        if kind in PIVOT:
            knob_scale(sd, name, kind, x, y)
    img.paste(Image.new("RGB", img.size, TICK), (0, 0), ink.reduce(SS))
    glyphs = Image.new("L", img.size, 0)
    wave_glyphs(glyphs)
    img.paste(Image.new("RGB", img.size, INK), (0, 0), glyphs)

    d = ImageDraw.Draw(img)
    for text, font, at, how in LABELS:
        draw_label(d, text, font, at, how)

    window = readout_window()
    for name, kind, x, y in CONTROLS:
        if kind == "readout":
            img.paste(window, (x, y))
    # control rectangles are left plain: the controls paint over them
    for name, kind, x, y in CONTROLS:
        if kind in ("button", "lamp", "slider"):
            w, h = SIZES[kind]
            d.rectangle((x, y, x + w - 1, y + h - 1), fill=FACE)
    return img


# ---- knobs --------------------------------------------------------------------------------

def knob_cap(size):
    """Round knob cap without a pointer (the program draws its pointer bar over it): a dark rim,
    a skirt lit from the upper left, and a light flat top with a bevelled edge. Black outside
    the circle and on its outermost pixel ring, because it is drawn through a round mask."""
    r = size / 2
    top = 0.64 * r

    def disc(d, s, cx, cy, rr, fill):
        d.ellipse(s(cx - rr, cy - rr, cx + rr, cy + rr), fill=fill)

    def paint(d, s):
        disc(d, s, r, r, r, gray(22))
        for i in range(20):  # skirt: brighter towards the upper left
            t = i / 19
            disc(d, s, r - 0.22 * r * t, r - 0.22 * r * t, (r - 1.2) * (1 - 0.45 * t),
                 gray(round(58 + 120 * t)))
        disc(d, s, r + 0.5, r + 0.5, top + 0.9, gray(70))      # shadow under the top's edge
        disc(d, s, r - 0.5, r - 0.5, top + 0.6, gray(250))     # lit rim of the top
        disc(d, s, r + 0.25, r + 0.25, top + 0.2, gray(150))   # its far side
        for i in range(12):  # the top: almost flat, a touch brighter at the upper left
            t = i / 11
            disc(d, s, r - 0.1 * top * t, r - 0.1 * top * t, top * (1 - 0.5 * t),
                 gray(round(204 + 24 * t)))

    img = supersampled(size, size, paint)
    px = img.load()
    for y in range(size):
        for x in range(size):
            if math.hypot(x + 0.5 - r, y + 0.5 - r) > r - 0.9:
                px[x, y] = BLACK
    return img


# ---- buttons, lamps, slider ------------------------------------------------------------------

def button(on):
    """25x21 key with a green LED window, latched in and lit when on (the stock key's look)."""
    return ctl.key(25, 21, (7, 8, 17, 10), on=on)


def lamp(width, on):
    """Round LED in a sunken bezel on the panel colour, 19 high. Only the first 25 columns are
    shown (the lamp window takes the size of the off image); a wider image repeats the panel."""
    img = Image.new("RGB", (width, 19), FACE)
    cx, cy, r = 12.5, 9.5, 6.5
    rim, core = ((22, 140, 40), (170, 255, 176)) if on else ((28, 40, 28), (72, 100, 72))

    def paint(d, s):
        d.rectangle(s(0, 0, 25, 19), fill=FACE)
        if on:  # a faint green glow on the plate around the bezel
            for i in range(8):  # fading out before the window's edges
                t = i / 7
                g = r + 2 - 1.5 * t
                d.ellipse(s(cx - g, cy - g, cx + g, cy + g),
                          fill=blend(FACE, (150, 214, 150), 0.06 + 0.3 * t))
        d.ellipse(s(cx - r - 1.5, cy - r - 1.5, cx + r + 1.5, cy + r + 1.5), fill=SHADOW)
        d.ellipse(s(cx - r - 0.5, cy - r - 0.5, cx + r + 1.5, cy + r + 1.5), fill=HI)
        d.ellipse(s(cx - r - 0.5, cy - r - 0.5, cx + r + 0.5, cy + r + 0.5), fill=gray(16))
        for i in range(16):
            t = i / 15
            rr, c = (r - 0.8) * (1 - 0.8 * t), r * 0.3 * t
            d.ellipse(s(cx - c - rr, cy - c - rr, cx - c + rr, cy - c + rr),
                      fill=blend(rim, core, t))
        d.ellipse(s(cx - r * 0.55, cy - r * 0.6, cx - r * 0.05, cy - r * 0.15),
                  fill=HI if on else (110, 128, 110))

    big = Image.new("RGB", (25 * SS, 19 * SS), FACE)
    paint(ImageDraw.Draw(big), lambda *v: [c * SS for c in v])
    img.paste(big.reduce(SS), (0, 0))
    return img


def slider_track():
    """118x17 horizontal track: the stock track's groove and ticks, the thumb's travel marked
    from centre 10 (left end) to centre 108 (right end), the middle tick longer."""
    img = Image.new("RGB", (118, 17), FACE)
    d = ImageDraw.Draw(img)
    d.rectangle((4, 6, 113, 10), fill=gray(28))
    frame(d, (4, 6, 113, 10), SHADOW, HI)
    frame(d, (5, 7, 112, 9), BLACK, gray(60))
    for i in range(9):
        x = round(10 + i * 98 / 8 - 0.01)
        n = 4 if i in (0, 4, 8) else 2
        d.line((x, 5 - n, x, 4), fill=DARK)
        d.line((x, 12, x, 11 + n), fill=DARK)
    return img


def slider_thumb():
    """20x15 thumb: the stock thumb turned for a horizontal slider (index line in the middle)."""
    return ctl.slider_thumb().transpose(Image.Transpose.TRANSPOSE)


# ---- options window -------------------------------------------------------------------------

# Rectangles where the program writes the gate times (right and bottom exclusive).
GATE_ON_BOX = (67, 24, 108, 40)
GATE_OFF_BOX = (67, 52, 108, 68)


def small_window(size, title, bottom, boxes):
    """The face of a small window: a titled groove from the top down to `bottom`, and a read-out
    glass with its label on the left for each (box, label) of `boxes`."""
    img = Image.new("RGB", size, FACE)
    d = ImageDraw.Draw(img)
    right, middle = size[0] - 5, (size[0] - 1) // 2
    groove(d, [(3, 8), (right, 8), (right, bottom), (3, bottom), (3, 8)])
    w = HEAD.getlength(title)
    d.rectangle((middle - w / 2 - 3, 5, middle + w / 2 + 3, 11), fill=FACE)
    draw_label(d, title, HEAD, (middle, 9), "c")
    window = readout_window()
    for (x0, y0, x1, y1), text in boxes:
        img.paste(window, (x0, y0))
        draw_label(d, text, LABEL, (x0 - 5, (y0 + y1) / 2), "r")
    return img, d


def options_background():
    boxes = ((GATE_ON_BOX, "GATE ON"), (GATE_OFF_BOX, "GATE OFF"))
    img, d = small_window((123, 78), "GATE TIMES", 73, boxes)
    for (x0, y0, x1, y1), _ in boxes:
        draw_label(d, "s", SMALL, (x1 + 3, (y0 + y1) / 2), "l")
    return img


# ---- the Signals menu's dialogs ---------------------------------------------------------------

# Where the program writes their numbers and puts their buttons, the same on each skin
# (generator/app/signal_dialogs.cpp).
UPPER_BOX = (90, 24, 131, 40)
LOWER_BOX = (90, 50, 131, 66)
SWITCH_BUTTON = (16, 72)
OK_BUTTON = (16, 101)
CANCEL_BUTTON = (78, 101)
BUTTON_SIZE = (25, 21)
# Where the sequence dialog writes the period: a strip of dark glass over two lines.
PERIOD_STRIP = (8, 51, 141, 87)


def signal_dialog(title, boxes, switch):
    """A dialog face: the titled groove, a glass per (box, label), the switch's label when it has
    one, and OK and CANCEL below the groove."""
    img, d = small_window((150, 128), title, 96, boxes)
    bw, bh = BUTTON_SIZE
    labels = [(OK_BUTTON, "OK"), (CANCEL_BUTTON, "CANCEL")]
    if switch:
        labels.append((SWITCH_BUTTON, switch))
    for (x, y), text in labels:
        draw_label(d, text, LABEL, (x + bw + 5, y + bh / 2), "l")
    return img, d


def burst_background():
    img, _ = signal_dialog("TONE BURST", ((UPPER_BOX, "CYCLES ON"), (LOWER_BOX, "CYCLES OFF")),
                           "HANN WINDOW")
    return img


def sequence_background():
    """The sequence length: the order N in its glass, and below it a wide read-out glass where
    the program writes the period in samples and in seconds."""
    img, d = signal_dialog("SEQUENCE", ((UPPER_BOX, "ORDER N"),), None)
    x0, y0, x1, y1 = PERIOD_STRIP
    d.rectangle((x0, y0, x1, y1), fill=LCD)
    frame(d, (x0, y0, x1, y1), SHADOW, HI)
    frame(d, (x0 + 1, y0 + 1, x1 - 1, y1 - 1), DARK, blend(LCD, HI, 0.5))
    d.line((x0 + 2, y0 + 2, x1 - 2, y0 + 2), fill=LCD_TOP)
    return img


def steps_background():
    img, d = signal_dialog("STEPPED SWEEP",
                           ((UPPER_BOX, "STEPS/OCT"), (LOWER_BOX, "DWELL")), "STEPPED")
    draw_label(d, "s", SMALL, (LOWER_BOX[2] + 3, (LOWER_BOX[1] + LOWER_BOX[3]) / 2), "l")
    return img


# ---- the output-level dialog ------------------------------------------------------------------

# Where the program writes and puts things (generator/app/level_dialog.cpp).
LEVEL_SIZE = (200, 208)
REFERENCE_BUTTON = (16, 24)
READING_BOX = (112, 54, 183, 70)
FULL_SCALE_STRIP = (8, 78, 191, 96)
UNIT_BUTTONS = ((16, 112), (16, 136), (16, 160), (104, 112), (104, 136))
UNIT_NAMES = ("DBFS", "DBU", "DBV", "V RMS", "V P-P")
LEVEL_OK = (16, 181)
LEVEL_CANCEL = (104, 181)


def glass(d, box, fill=LCD, top=LCD_TOP):
    """A read-out glass of any size, as readout_window() draws the panel's."""
    x0, y0, x1, y1 = box
    d.rectangle(box, fill=fill)
    frame(d, box, SHADOW, HI)
    frame(d, (x0 + 1, y0 + 1, x1 - 1, y1 - 1), DARK, blend(fill, HI, 0.5))
    d.line((x0 + 2, y0 + 2, x1 - 2, y0 + 2), fill=top)


def level_background():
    img = Image.new("RGB", LEVEL_SIZE, FACE)
    d = ImageDraw.Draw(img)
    right, middle = LEVEL_SIZE[0] - 5, (LEVEL_SIZE[0] - 1) // 2
    groove(d, [(3, 8), (right, 8), (right, 174), (3, 174), (3, 8)])
    title = "OUTPUT LEVEL"
    w = HEAD.getlength(title)
    d.rectangle((middle - w / 2 - 3, 5, middle + w / 2 + 3, 11), fill=FACE)
    draw_label(d, title, HEAD, (middle, 9), "c")
    bw, bh = BUTTON_SIZE
    x, y = REFERENCE_BUTTON
    draw_label(d, "PLAY REFERENCE", LABEL, (x + bw + 5, y + bh / 2 - 4), "l")
    d.text((x + bw + 5, y + bh / 2 + 8), "1 kHz sine at -10 dBFS", font=SMALL, fill=INK_SOFT,
           anchor="ls")
    glass(d, READING_BOX)
    draw_label(d, "METER READS", LABEL, (READING_BOX[0] - 5, (READING_BOX[1] + READING_BOX[3]) / 2),
               "r")
    glass(d, FULL_SCALE_STRIP)
    groove(d, [(8, 104), (right - 4, 104)])
    w = HEAD.getlength("UNIT")
    d.rectangle((middle - w / 2 - 3, 101, middle + w / 2 + 3, 107), fill=FACE)
    draw_label(d, "UNIT", HEAD, (middle, 105), "c")
    for (x, y), name in zip(UNIT_BUTTONS, UNIT_NAMES):
        draw_label(d, name, LABEL, (x + bw + 5, y + bh / 2), "l")
    for (x, y), text in ((LEVEL_OK, "OK"), (LEVEL_CANCEL, "CANCEL")):
        draw_label(d, text, LABEL, (x + bw + 5, y + bh / 2), "l")
    for x, y in UNIT_BUTTONS + (REFERENCE_BUTTON, LEVEL_OK, LEVEL_CANCEL):
        d.rectangle((x, y, x + bw - 1, y + bh - 1), fill=FACE)
    return img


# ---- icon -----------------------------------------------------------------------------------

def icon_image(size):
    """A green sine trace on a small dark display in a grey bezel; transparent round corners.
    The 32-pixel image has a graticule and one and a half periods; the 16-pixel one is redrawn
    with a thinner bezel and one period, so it stays clear at its size."""
    img = Image.new("RGBA", (size * SS, size * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    s = lambda *v: [c * SS for c in v]  # noqa: E731  (output pixel coordinates)
    opaque = lambda c: c + (255,)  # noqa: E731
    if size >= 32:
        d.rounded_rectangle(s(0, 1, 32, 31), radius=5 * SS, fill=opaque(EDGE))
        d.rounded_rectangle(s(1, 2, 31, 30), radius=4 * SS, fill=opaque(LIGHT))
        d.rounded_rectangle(s(2, 3, 31, 30), radius=4 * SS, fill=opaque(MID))
        d.rounded_rectangle(s(2, 3, 30, 29), radius=4 * SS, fill=opaque(FACE))
        d.rectangle(s(4, 5, 28, 27), fill=opaque(SHADOW))
        d.rectangle(s(5, 6, 28, 27), fill=opaque(HI))
        box = (5, 6, 27, 26)
        d.rectangle(s(*box), fill=opaque(GLASS))
        for gx in (11, 16.5, 22):
            d.rectangle(s(gx, 6, gx + 1, 26), fill=(52, 62, 56, 255))
        d.rectangle(s(5, 15.5, 27, 16.5), fill=(52, 62, 56, 255))
        periods, amp, width = 1.5, 7, 2.4
    else:
        d.rounded_rectangle(s(0, 0, 16, 16), radius=2.5 * SS, fill=opaque(EDGE))
        d.rounded_rectangle(s(1, 1, 15, 15), radius=1.5 * SS, fill=opaque(FACE))
        box = (2, 2, 14, 14)
        d.rectangle(s(*box), fill=opaque(GLASS))
        periods, amp, width = 1, 4, 1.6
    x0, y0, x1, y1 = box
    cy = (y0 + y1) / 2
    pts = [tuple(s(x0 + 0.5 + (x1 - x0 - 1) * t, cy - amp * math.sin(2 * math.pi * periods * t)))
           for t in (i / 200 for i in range(201))]
    d.line(pts, fill=opaque(TRACE), width=round(width * SS), joint="curve")
    return img.reduce(SS)


def icon_entry(img):
    """One classic icon image: BITMAPINFOHEADER (height doubled), 32-bit BGRA rows bottom-up,
    then the 1-bit AND mask (set where the pixel is transparent) for systems without alpha."""
    w, h = img.size
    px = img.load()
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((px[x, y][2], px[x, y][1], px[x, y][0], px[x, y][3]))
                   for y in reversed(range(h)) for x in range(w))
    stride = (w + 31) // 32 * 4
    mask = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            if px[x, y][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + xor + bytes(mask)


def write_icon(path):
    """ICO file with the 16x16 and the 32x32 image, both uncompressed 32-bit with alpha."""
    entries = [(size, icon_entry(icon_image(size))) for size in (16, 32)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for size, data in entries:
        out += data
    with open(path, "wb") as f:
        f.write(out)


# ---- output ---------------------------------------------------------------------------------

def bitmaps():
    yield 500, panel()
    yield 509, knob_cap(24)
    yield 510, knob_cap(32)
    yield 530, button(on=True)
    yield 531, button(on=False)
    yield 532, lamp(26, on=True)
    yield 533, lamp(25, on=False)
    yield 540, slider_track()
    yield 541, slider_thumb()
    yield 550, options_background()
    yield 551, burst_background()
    yield 552, sequence_background()
    yield 553, steps_background()
    yield 554, level_background()


EXPECTED = {500: (640, 235), 509: (24, 24), 510: (32, 32), 530: (25, 21), 531: (25, 21),
            532: (26, 19), 533: (25, 19), 540: (118, 17), 541: (20, 15), 550: (123, 78),
            551: (150, 128), 552: (150, 128), 553: (150, 128), 554: (200, 208)}


def main():
    os.makedirs(OUT, exist_ok=True)
    for rid, img in bitmaps():
        assert img.size == EXPECTED[rid], (rid, img.size)
        img.convert("RGB").save(os.path.join(OUT, "skin_%d.bmp" % rid), "BMP")
    write_icon(os.path.join(OUT, "icon_100.ico"))


if __name__ == "__main__":
    main()
