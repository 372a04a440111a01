"""Stock bitmaps of the QX2CTL control library.

Writes resources/ctl/stock_1500.bmp ... stock_1518.bmp (24-bit uncompressed BMP,
the resource id in the name) and resources/ctl/stock_bitmaps.rc, which lists them.
The output is deterministic: the same bytes on every run. Rerun from the repo root:

    /usr/bin/python3 tools/assets/make_ctl_bitmaps.py

Needs Pillow and the DejaVu fonts (Debian: python3-pil, fonts-dejavu-core).
"""
import math
import os
import random

from PIL import Image, ImageDraw, ImageFont

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "ctl")
FONTS = "/usr/share/fonts/truetype/dejavu/"
SS = 8  # supersampling factor for round and curved shapes

# One grey family plus a single accent colour for lit lamps.
BLACK = (0, 0, 0)
EDGE = (52, 52, 52)
HI = (246, 246, 246)
LIGHT = (224, 224, 224)
FACE = (192, 192, 192)
MID = (150, 150, 150)
SHADOW = (112, 112, 112)
DARK = (72, 72, 72)
PAPER = (244, 244, 240)
LED_OFF = (44, 60, 44)
LED_ON = (70, 226, 92)
LED_HOT = (200, 255, 200)


def gray(v):
    return (v, v, v)


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def frame(d, box, tl, br):
    """1-pixel rectangle outline: colour tl on top/left, br on bottom/right (inclusive box)."""
    x0, y0, x1, y1 = box
    d.line([(x0, y1), (x0, y0), (x1, y0)], fill=tl)
    d.line([(x1, y0 + 1), (x1, y1), (x0 + 1, y1)], fill=br)


def bevel(d, box, raised):
    """Crisp two-ring bevel inside box; returns the box left inside it."""
    cols = [(HI, SHADOW), (LIGHT, MID)] if raised else [(SHADOW, HI), (DARK, LIGHT)]
    x0, y0, x1, y1 = box
    for tl, br in cols:
        frame(d, (x0, y0, x1, y1), tl, br)
        x0, y0, x1, y1 = x0 + 1, y0 + 1, x1 - 1, y1 - 1
    return x0, y0, x1, y1


def plate(w, h, raised=True, face=FACE):
    """A bevelled plate with a dark 1-pixel outline."""
    img = Image.new("RGB", (w, h), face)
    d = ImageDraw.Draw(img)
    d.rectangle((0, 0, w - 1, h - 1), outline=EDGE)
    bevel(d, (1, 1, w - 2, h - 2), raised)
    return img, d


def round_clip(img):
    """Pure black outside the inscribed circle (the image is drawn through a round mask)."""
    w, h = img.size
    px = img.load()
    for y in range(h):
        for x in range(w):
            if math.hypot(x + 0.5 - w / 2, y + 0.5 - h / 2) > w / 2:
                px[x, y] = BLACK
    return img


def supersampled(w, h, paint):
    """Paint on black at SS times the size, with coordinates in output pixels; box-reduce."""
    img = Image.new("RGB", (w * SS, h * SS), BLACK)
    paint(ImageDraw.Draw(img), lambda *v: [c * SS for c in v])
    return img.reduce(SS)


# ---- keys and lamps -------------------------------------------------------------

def key(w, h, led, on):
    """Push key with an LED window; led = (x0, y0, x1, y1) inclusive. On = latched in and lit."""
    img, d = plate(w, h, raised=not on, face=gray(184 if on else 192))
    if on:  # pressed: the face and its contents move one pixel down and right
        led = tuple(c + 1 for c in led)
    x0, y0, x1, y1 = led
    frame(d, (x0 - 1, y0 - 1, x1 + 1, y1 + 1), DARK, HI)
    d.rectangle(led, fill=LED_ON if on else LED_OFF)
    d.line((x0, y0, x1, y0), fill=LED_HOT if on else (62, 82, 62))
    if on:
        d.line((x0, y1, x1, y1), fill=(40, 170, 60))
    return img


def lamp(size, on):
    """Round indicator lamp: dark bezel ring around a domed lens lit from the upper left."""
    r = size / 2
    rim, core = ((22, 140, 40), (170, 255, 176)) if on else ((28, 40, 28), (72, 100, 72))

    def paint(d, s):
        d.ellipse(s(0, 0, size, size), fill=gray(44))
        d.ellipse(s(1, 1, size - 1, size - 1), fill=gray(12))
        for i in range(16):
            t = i / 15
            rr, c = (r - 1.6) * (1 - 0.8 * t), r - 0.3 * r * t
            d.ellipse(s(c - rr, c - rr, c + rr, c + rr), fill=blend(rim, core, t))
        d.ellipse(s(r * 0.5, r * 0.45, r * 0.85, r * 0.75), fill=HI if on else (112, 130, 112))

    return round_clip(supersampled(size, size, paint))


def knob():
    """32x32 knob: a skirt lit from the upper left, a dished cap, a black pointer at the top."""
    def paint(d, s):
        d.ellipse(s(0, 0, 32, 32), fill=gray(40))
        for i in range(16):  # convex skirt: light towards the upper left
            t = i / 15
            rr, c = 15 * (1 - 0.55 * t), 16 - 3 * t
            d.ellipse(s(c - rr, c - rr, c + rr, c + rr), fill=gray(round(92 + 118 * t)))
        d.ellipse(s(6.5, 6.5, 25.5, 25.5), fill=gray(226))
        for i in range(10):  # dished cap: light towards the lower right
            t = i / 9
            rr, c = 9 * (1 - 0.5 * t), 16 + 1.5 * t
            d.ellipse(s(c - rr, c - rr, c + rr, c + rr), fill=gray(round(168 + 30 * t)))

    img = supersampled(32, 32, paint)
    ImageDraw.Draw(img).rectangle((15, 2, 16, 13), fill=gray(16))  # pixel-aligned pointer
    return round_clip(img)


# ---- sliders --------------------------------------------------------------------

def slider_track():
    """Vertical track 17x128: a dark groove with tick marks on both sides."""
    img = Image.new("RGB", (17, 128), FACE)
    d = ImageDraw.Draw(img)
    d.rectangle((6, 4, 10, 123), fill=gray(28))
    frame(d, (6, 4, 10, 123), SHADOW, HI)
    frame(d, (7, 5, 9, 122), BLACK, gray(60))
    for i in range(11):
        y = 9 + i * 11
        n = 4 if i % 5 == 0 else 2
        d.line((5 - n, y, 4, y), fill=DARK)
        d.line((12, y, 11 + n, y), fill=DARK)
    return img


def slider_thumb():
    """Vertical thumb 15x20: raised cap with grip grooves and a black index line."""
    img, d = plate(15, 20)
    for y in (5, 13):
        d.line((4, y, 10, y), fill=SHADOW)
        d.line((4, y + 1, 10, y + 1), fill=HI)
    d.rectangle((3, 9, 11, 10), fill=gray(20))
    return img


# ---- background and scale ------------------------------------------------------

def tile():
    """80x80 brushed metal; every term wraps around, so the tile repeats seamlessly."""
    n = 80
    rnd = random.Random(1512)
    grain = [[rnd.random() * 2 - 1 for _ in range(n)] for _ in range(n)]
    rows = [rnd.random() * 2 - 1 for _ in range(n)]
    img = Image.new("RGB", (n, n))
    px = img.load()
    for y in range(n):
        row = (rows[y] * 2 + rows[(y - 1) % n] + rows[(y + 1) % n]) / 4
        for x in range(n):
            streak = sum(grain[y][(x + k) % n] for k in range(-6, 7)) / 13
            v = round(202 + 4 * row + 14 * streak + 1.5 * grain[y][x])
            px[x, y] = gray(max(190, min(215, v)))
    return img


def scale():
    """300x50 recessed dark panel: ruler from -5 to +5, ticks down from a baseline, numbers below."""
    img = Image.new("RGB", (300, 50), (30, 32, 34))
    d = ImageDraw.Draw(img)
    frame(d, (0, 0, 299, 49), SHADOW, HI)
    frame(d, (1, 1, 298, 48), gray(14), MID)
    ink, bright = gray(196), gray(250)
    d.line((25, 10, 275, 10), fill=ink)
    font = ImageFont.truetype(FONTS + "DejaVuSans.ttf", 11)
    for x in range(25, 276, 5):
        i, major = (x - 150) // 25, (x - 25) % 25 == 0
        c = bright if x == 150 else ink
        d.line((x, 11, x, (26 if i == 0 else 23) if major else 15), fill=c)
        if major:  # the digit is centred under its tick, the sign hangs to its left
            digit = str(abs(i))
            d.text((x + 0.5, 38), digit, font=font, fill=c, anchor="ms")
            if i:
                left = x + 0.5 - font.getlength(digit) / 2
                d.text((left, 38), "+" if i > 0 else "\u2212", font=font, fill=c, anchor="rs")
    return img


# ---- panel pieces ---------------------------------------------------------------

def screw(d, x, y):
    """5x5 slotted screw head with its top-left pixel at (x, y)."""
    d.ellipse((x, y, x + 4, y + 4), fill=LIGHT, outline=SHADOW)
    d.line((x + 1, y + 2, x + 3, y + 2), fill=DARK)
    d.point((x + 3, y + 3), fill=HI)


def raised_plate(w, h):
    img, d = plate(w, h)
    for x, y in ((4, 4), (w - 9, 4), (4, h - 9), (w - 9, h - 9)):
        screw(d, x, y)
    return img


def display_window(w, h):
    """Grey frame around a recessed dark glass window."""
    img, d = plate(w, h)
    x0, y0, x1, y1 = bevel(d, (5, 5, w - 6, h - 6), raised=False)
    for y in range(y0, y1 + 1):
        d.line((x0, y, x1, y), fill=blend((50, 54, 56), (26, 28, 30), (y - y0) / (y1 - y0)))
    d.line((x0, y0, x1, y0), fill=(70, 74, 76))
    return img


def sunken_plate(w, h):
    return plate(w, h, raised=False, face=gray(184))[0]


def group_plate(w, h):
    """Raised plate with an etched groove frame inset from its edge."""
    img, d = plate(w, h)
    d.rectangle((7, 7, w - 7, h - 7), outline=HI)
    d.rectangle((6, 6, w - 8, h - 8), outline=SHADOW)
    return img


# ---- note picture ---------------------------------------------------------------

def tilted_ellipse(cx, cy, a, b, deg, n=48):
    t = math.radians(deg)
    return [(cx + a * math.cos(u) * math.cos(t) - b * math.sin(u) * math.sin(t),
             cy + a * math.cos(u) * math.sin(t) + b * math.sin(u) * math.cos(t))
            for u in (2 * math.pi * i / n for i in range(n))]


def bezier(p0, p1, p2, p3, n=24):
    return [tuple((1 - t) ** 3 * a + 3 * (1 - t) ** 2 * t * b + 3 * (1 - t) * t * t * c + t ** 3 * e
                  for a, b, c, e in zip(p0, p1, p2, p3))
            for t in (i / n for i in range(n + 1))]


def flag(x, y, length):
    """Flag hanging right of a stem whose right edge is x and top is y."""
    k = length / 12.5
    out = bezier((x - 1, y), (x + 0.5, y + 4 * k), (x + 7.5, y + 5.5 * k), (x + 4.6, y + 12.5 * k))
    back = bezier((x + 4.6, y + 12.5 * k), (x + 5.8, y + 7.5 * k), (x + 2.5, y + 6.5 * k), (x - 1, y + 6 * k))
    return out + back


def note(d, ox, oy, value, row):
    """Draw one note in ink (255) on the cell at (ox, oy); value 0..4 = whole..sixteenth;
    row 0 plain, 1 triplet, 2 dotted. Coordinates are in output pixels scaled by SS."""
    def poly(pts, ink=255):
        d.polygon([((ox + x) * SS, (oy + y) * SS) for x, y in pts], fill=ink)

    dot_shift = -2 if row == 2 else 0
    top = 10 if row == 1 else 6
    if value == 0:
        cx, cy = 16 + dot_shift, 22 if row == 1 else 20
        poly(tilted_ellipse(cx, cy, 6, 3.9, 0))
        poly(tilted_ellipse(cx, cy, 2.9, 2, -55), 0)
        head_right = cx + 6
    else:
        cx, cy = 13.2 + dot_shift, 24 if row == 1 else 23.5
        sx = 18 + dot_shift  # right edge of the one-pixel stem
        poly(tilted_ellipse(cx, cy, 4.9, 3.4, -22))
        if value == 1:
            poly(tilted_ellipse(cx, cy, 3.7, 1.6, -28), 0)
        poly([(sx - 1.1, top), (sx, top), (sx, cy - 0.5), (sx - 1.1, cy - 0.5)])
        for k in range(value - 2):  # one flag for the eighth, two shorter ones for the sixteenth
            poly(flag(sx, top + 4.5 * k, 12.5 if value == 3 else 10.5))
        head_right = cx + 4.9
    if row == 2:  # augmentation dot
        poly(tilted_ellipse(head_right + 3.5, cy - 1, 1.5, 1.5, 0))


def note_picture():
    """160x96: five columns (whole .. sixteenth) by three rows (plain, triplet, dotted) of 32x32."""
    ink = Image.new("L", (160 * SS, 96 * SS), 0)
    d = ImageDraw.Draw(ink)
    for row in range(3):
        for value in range(5):
            note(d, value * 32, row * 32, value, row)
    ink = ink.reduce(SS)
    d = ImageDraw.Draw(ink)
    font = ImageFont.truetype(FONTS + "DejaVuSans-Bold.ttf", 9)
    for value in range(5):  # triplet marks: a bracket broken by a "3"
        x, y = value * 32, 32
        d.line((x + 8, y + 6, x + 8, y + 4, x + 12, y + 4), fill=255)
        d.line((x + 19, y + 4, x + 23, y + 4, x + 23, y + 6), fill=255)
        d.text((x + 16, y + 4), "3", font=font, fill=255, anchor="mm")
    img = Image.composite(Image.new("RGB", ink.size, BLACK), Image.new("RGB", ink.size, PAPER), ink)
    d = ImageDraw.Draw(img)
    for i in range(1, 5):
        d.line((i * 32 - 1, 0, i * 32 - 1, 95), fill=gray(168))
    for i in range(1, 3):
        d.line((0, i * 32 - 1, 159, i * 32 - 1), fill=gray(168))
    return img


# ---- output ---------------------------------------------------------------------

def bitmaps():
    yield 1500, key(24, 16, (6, 6, 17, 9), on=False)
    yield 1501, key(24, 16, (6, 6, 17, 9), on=True)
    yield 1502, key(33, 23, (8, 8, 24, 13), on=False)
    yield 1503, key(33, 23, (8, 8, 24, 13), on=True)
    yield 1504, lamp(16, on=False)
    yield 1505, lamp(16, on=True)
    yield 1506, note_picture()
    yield 1507, knob()
    yield 1508, slider_track()
    yield 1509, slider_thumb()
    yield 1510, slider_track().transpose(Image.Transpose.TRANSPOSE)
    yield 1511, slider_thumb().transpose(Image.Transpose.TRANSPOSE)
    yield 1512, tile()
    yield 1513, lamp(12, on=True)
    yield 1514, scale()
    yield 1515, raised_plate(50, 100)
    yield 1516, display_window(100, 50)
    yield 1517, sunken_plate(50, 50)
    yield 1518, group_plate(80, 100)


def main():
    os.makedirs(OUT, exist_ok=True)
    lines = []
    for rid, img in bitmaps():
        name = "stock_%d.bmp" % rid
        img.convert("RGB").save(os.path.join(OUT, name), "BMP")
        lines.append('%d BITMAP "%s"\n' % (rid, name))
    with open(os.path.join(OUT, "stock_bitmaps.rc"), "w", newline="\n") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
