"""Skin and icon of the installer BrindlemoorSetup.

Writes into resources/setup/:
  skin_101.bmp  900x424, 24-bit uncompressed BMP: the picture at the top of the installer window
  icon_100.ico  16x16 and 32x32, 16 colours (4 bits per pixel) with an AND mask
The output is the same bytes on every run. Rerun from the repo root:

    /usr/bin/python3 tools/assets/make_installer_art.py

Optionally also renders a mock-up of the whole client area (the skin plus the white band the
program paints below it, with its texts and button) to look at the result:

    /usr/bin/python3 tools/assets/make_installer_art.py --mockup /tmp/installer_mockup.png

Needs Pillow and the DejaVu fonts (Debian: python3-pil, fonts-dejavu-core).

What the program paints over the skin, and what the picture leaves room for:
  - the "O/S: ..." line, black Arial bold 16 px, single line, at the top of the rectangle left 20,
    top 200, right 740, bottom 424, so in the cell y 200..216 just under the subtitle: the strip
    STATUS_ZONE around it is kept light and empty, and the copper rule and the components line
    come below it;
  - a click anywhere on the skin opens the product web site; the bottom-right corner says so;
  - the window continues below the skin with a pure white band, so the picture fades to pure white
    over its last rows and joins the band without a seam.
"""
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "setup")
FONTS = "/usr/share/fonts/truetype/dejavu/"
SS = 4  # supersampling factor for the shapes of the console picture

W, H = 900, 424
BAND = 100                       # height of the white band the program paints below the skin
STATUS_ZONE = (0, 192, 500, 228)  # the O/S line lives here: nothing but the light background
WHITE_FROM = 372                 # the background is pure white from this row down

# Palette: a cool slate family with one warm copper accent.
WHITE = (255, 255, 255)
SKY = (221, 229, 239)            # top of the background gradient
NAVY = (27, 41, 63)              # product name
SLATE = (78, 93, 115)            # subtitle
MUTED = (112, 124, 142)          # small print
HAIRLINE = (208, 216, 227)
COPPER = (190, 106, 44)
PANEL_TOP = (60, 73, 94)         # console body, top and bottom of its gradient
PANEL_BOTTOM = (36, 46, 62)
PANEL_EDGE = (96, 112, 136)
SLOT = (16, 22, 32)
CAP = (226, 231, 238)
CAP_SHADE = (150, 160, 174)
KNOB = (84, 99, 122)
LED_OFF = (50, 62, 80)
LED_GREEN = (92, 204, 128)
LED_AMBER = (236, 184, 72)
LED_RED = (232, 92, 72)

PRODUCT_HOST = "www.quenby-audio.example"


def font(name, size):
    return ImageFont.truetype(os.path.join(FONTS, name), size)


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def smoothstep(t):
    t = min(1.0, max(0.0, t))
    return t * t * (3 - 2 * t)


# ---- background -----------------------------------------------------------------------------

BAYER4 = ((0, 8, 2, 10), (12, 4, 14, 6), (3, 11, 1, 9), (15, 7, 13, 5))


def background():
    """Soft vertical gradient from SKY at the top to pure white at WHITE_FROM, a little deeper
    towards the top right (behind the console). A 4x4 ordered dither hides the banding of the
    slow gradient; rows from WHITE_FROM down are exactly white."""
    img = Image.new("RGB", (W, H), WHITE)
    px = img.load()
    for y in range(WHITE_FROM):
        v = smoothstep(y / WHITE_FROM)
        for x in range(W):
            depth = (1 - v) * (0.82 + 0.18 * x / W)   # 0 = white, 1 = full SKY
            threshold = (BAYER4[y % 4][x % 4] + 0.5) / 16
            px[x, y] = tuple(min(255, int(255 - (255 - c) * depth + threshold)) for c in SKY)
    return img


# ---- console picture ------------------------------------------------------------------------

CONSOLE = (536, 34, 880, 262)    # body of the mixing console, output pixels
STRIPS = 9                       # eight channels and the master
FADER_TOP, FADER_BOTTOM = 122, 244


def fader_level(i):
    """Fader cap positions 0..1 (1 = top): a gentle arc over the channels; the master at 0.72."""
    if i == STRIPS - 1:
        return 0.72
    return 0.50 + 0.22 * math.sin(0.55 + i * 0.62) + 0.06 * math.cos(i * 1.7)


def meter_level(i):
    """Lit meter segments out of 10, following the faders loosely."""
    return max(2, min(10, round(3.5 + 7 * fader_level(i) + 1.2 * math.sin(i * 2.3))))


def console_layer():
    """The console on a transparent layer the size of the skin, drawn at SS times the size."""
    layer = Image.new("RGBA", (W * SS, H * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    s = lambda *v: [round(c * SS) for c in v]  # noqa: E731  (output pixel coordinates)

    x0, y0, x1, y1 = CONSOLE
    # Body: a vertical gradient clipped to a rounded rectangle, with a lighter rim.
    body = Image.new("RGBA", layer.size, (0, 0, 0, 0))
    bd = ImageDraw.Draw(body)
    for y in range(y0 * SS, y1 * SS + 1):
        bd.line([(x0 * SS, y), (x1 * SS, y)], fill=blend(PANEL_TOP, PANEL_BOTTOM,
                                                         (y - y0 * SS) / ((y1 - y0) * SS)) + (255,))
    mask = Image.new("L", layer.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle(s(x0, y0, x1, y1), radius=14 * SS, fill=255)
    layer.paste(body, (0, 0), mask)
    d.rounded_rectangle(s(x0, y0, x1, y1), radius=14 * SS, outline=PANEL_EDGE + (255,),
                        width=SS)
    # A thin copper line along the top of the body: the one warm note of the picture.
    d.line(s(x0 + 18, y0 + 12, x0 + 58, y0 + 12), fill=COPPER + (255,), width=2 * SS)

    pitch = (x1 - x0 - 28) / STRIPS
    for i in range(STRIPS):
        cx = x0 + 14 + pitch * (i + 0.5) - 3   # knobs, slot and cap; the meter to its right
        master = i == STRIPS - 1
        if master:  # a divider in front of the master strip
            d.line(s(cx - pitch / 2 + 1, 30 + y0, cx - pitch / 2 + 1, y1 - 12),
                   fill=PANEL_EDGE + (140,), width=SS)
        # Two knobs with their pointers.
        for ky, angle in ((y0 + 32, -40 + 27 * i % 110), (y0 + 58, 60 - 31 * i % 120)):
            r = 7.5
            d.ellipse(s(cx - r, ky - r, cx + r, ky + r), fill=KNOB + (255,),
                      outline=PANEL_EDGE + (255,), width=SS)
            a = math.radians(angle - 90)
            d.line(s(cx + 2 * math.cos(a), ky + 2 * math.sin(a),
                     cx + 6 * math.cos(a), ky + 6 * math.sin(a)),
                   fill=(COPPER if master else CAP) + (255,), width=round(1.6 * SS))
        # Meter: ten segments just right of the fader slot, lit from the bottom.
        lit = meter_level(i)
        for k in range(10):
            top = FADER_BOTTOM - 4 - (k + 1) * 11.6
            colour = LED_RED if k == 9 else LED_AMBER if k >= 7 else LED_GREEN
            d.rectangle(s(cx + 11, top + 2, cx + 14, top + 10),
                        fill=(colour if k < lit else LED_OFF) + (255,))
        # Fader slot and cap.
        d.rounded_rectangle(s(cx - 1.6, FADER_TOP, cx + 1.6, FADER_BOTTOM), radius=1.6 * SS,
                            fill=SLOT + (255,))
        cy = FADER_BOTTOM - 8 - (FADER_BOTTOM - FADER_TOP - 16) * fader_level(i)
        d.rounded_rectangle(s(cx - 9, cy - 6, cx + 9, cy + 6), radius=2.5 * SS,
                            fill=(COPPER if master else CAP) + (255,),
                            outline=((120, 62, 22) if master else CAP_SHADE) + (255,), width=SS)
        d.line(s(cx - 7, cy, cx + 7, cy), fill=(SLOT if not master else (250, 226, 200)) + (255,),
               width=round(1.4 * SS))
        # Scribble-strip lamp at the foot of the strip.
        d.rectangle(s(cx - 5, y1 - 10, cx + 13, y1 - 8),
                    fill=((236, 184, 72) if master else (118, 136, 162)) + (255,))
    return layer.resize((W, H), Image.LANCZOS)


def shadow_layer():
    """A soft, low-contrast shadow under the console so it sits on the background."""
    x0, y0, x1, y1 = CONSOLE
    shade = Image.new("L", (W, H), 0)
    ImageDraw.Draw(shade).rounded_rectangle((x0 + 4, y0 + 10, x1 - 4, y1 + 8), radius=16,
                                            fill=70)
    return shade.filter(ImageFilter.GaussianBlur(9))


# ---- texts ----------------------------------------------------------------------------------

def spaced(d, xy, text, fnt, fill, tracking):
    """Text with extra space between the letters (for the small capitals of the maker's line)."""
    x, y = xy
    for ch in text:
        d.text((x, y), ch, font=fnt, fill=fill)
        x += d.textlength(ch, font=fnt) + tracking
    return x


def draw_texts(img):
    d = ImageDraw.Draw(img)
    left = 20                    # the left edge of everything the program writes, too
    spaced(d, (left + 2, 56), "TARNWELL", font("DejaVuSans-Bold.ttf", 17), COPPER, 5.5)
    d.text((left, 78), "Brindlemoor", font=font("DejaVuSans-Bold.ttf", 60), fill=NAVY)
    d.text((left + 2, 154), "Virtual Mixing Console", font=font("DejaVuSans.ttf", 25), fill=SLATE)
    # The O/S line (y 200..216) sits between the subtitle and this rule.
    d.line((left + 2, 238, left + 58, 238), fill=COPPER, width=2)
    d.text((left + 2, 250), "Virtual mixer  \u00b7  virtual audio driver  \u00b7  ASIO drivers"
           "  \u00b7  control panel", font=font("DejaVuSans.ttf", 14), fill=MUTED)
    # The whole picture is a link to the product page: say so, bottom right, quietly.
    small = font("DejaVuSans.ttf", 13)
    label = "Quenby Audio  \u2013  " + PRODUCT_HOST + "  \u203a"
    d.text((W - 20 - d.textlength(label, font=small), 392), label, font=small, fill=MUTED)
    # A hairline that closes the header above the quiet lower part of the picture.
    d.line((20, 290, W - 20, 290), fill=HAIRLINE)


def skin():
    img = background()
    img.paste(Image.new("RGB", (W, H), (20, 30, 46)), (0, 0), shadow_layer())
    console = console_layer()
    img.paste(console, (0, 0), console)
    draw_texts(img)
    # The O/S line's strip must stay light and empty.
    zone = img.crop(STATUS_ZONE)
    assert min(min(p) for p in zone.getdata()) >= 200, "STATUS_ZONE is not quiet"
    assert all(img.getpixel((x, H - 1)) == WHITE for x in range(W)), "bottom row is not white"
    return img


# ---- icon -----------------------------------------------------------------------------------

# The icon's own 16 colours (index 0 is black: the colour under transparent pixels).
ICON_PALETTE = [
    (0, 0, 0), NAVY, PANEL_BOTTOM, PANEL_TOP, PANEL_EDGE, SLOT, CAP, CAP_SHADE,
    COPPER, (120, 62, 22), LED_GREEN, LED_AMBER, LED_RED, LED_OFF, SKY, WHITE,
]
T = None  # transparent pixel


def icon_pixels(size):
    """The console motif as rows of palette indexes (None = transparent): a slate body with
    rounded corners and three faders, two channels with light caps and the master with a copper
    one, plus a lit meter in the 32-pixel image; drawn pixel by pixel so it stays crisp."""
    P = {c: i for i, c in enumerate(ICON_PALETTE)}
    grid = [[T] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):  # inclusive box
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                grid[y][x] = P[colour]

    if size == 32:
        fill(1, 1, 30, 30, PANEL_EDGE)
        fill(2, 2, 29, 15, PANEL_TOP)
        fill(2, 16, 29, 29, PANEL_BOTTOM)
        for x, y in ((1, 1), (2, 1), (1, 2), (30, 1), (29, 1), (30, 2),
                     (1, 30), (2, 30), (1, 29), (30, 30), (29, 30), (30, 29)):
            grid[y][x] = T
        for x, y in ((2, 2), (29, 2), (2, 29), (29, 29)):
            grid[y][x] = P[PANEL_EDGE]
        # Two channel faders, a meter, and the master fader (copper) on the right.
        for sx, cap_y, cap in ((6, 19, CAP), (13, 11, CAP), (24, 14, COPPER)):
            fill(sx, 5, sx + 1, 26, SLOT)
            fill(sx - 2, cap_y - 2, sx + 3, cap_y + 1, cap)
            fill(sx - 2, cap_y + 2, sx + 3, cap_y + 2, CAP_SHADE if cap == CAP else (120, 62, 22))
            fill(sx - 1, cap_y, sx + 2, cap_y, SLOT if cap == CAP else WHITE)
        for k in range(9):  # 7 of 9 segments lit
            y = 25 - 2 * k
            fill(19, y, 20, y, LED_OFF if k >= 7 else LED_AMBER if k >= 5 else LED_GREEN)
    else:
        fill(0, 0, 15, 15, PANEL_EDGE)
        fill(1, 1, 14, 7, PANEL_TOP)
        fill(1, 8, 14, 14, PANEL_BOTTOM)
        for x, y in ((0, 0), (15, 0), (0, 15), (15, 15)):
            grid[y][x] = T
        # No room for a meter here: two channel faders and the master, set a little apart.
        for sx, cap_y, cap in ((3, 9, CAP), (7, 5, CAP), (12, 7, COPPER)):
            fill(sx, 2, sx, 13, SLOT)
            fill(sx - 1, cap_y - 1, sx + 1, cap_y, cap)
            fill(sx - 1, cap_y + 1, sx + 1, cap_y + 1, CAP_SHADE if cap == CAP else (120, 62, 22))
    return grid


def icon_entry(grid):
    """One classic icon image: BITMAPINFOHEADER (height doubled), the 16-entry palette, the
    4-bit XOR rows bottom-up (each padded to 32 bits), then the 1-bit AND mask (set where the
    pixel is transparent; the XOR pixel there is black, index 0)."""
    size = len(grid)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         (xor_stride + and_stride) * size, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in ICON_PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(grid):
        xrow = bytearray(xor_stride)
        mrow = bytearray(and_stride)
        for x, index in enumerate(row):
            if index is None:
                mrow[x // 8] |= 0x80 >> (x % 8)
                index = 0
            xrow[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += xrow
        mask += mrow
    return header + palette + bytes(xor) + bytes(mask)


def write_icon(path):
    """ICO file: ICONDIR, one ICONDIRENTRY per image (16 colours, 1 plane, 4 bits), the images."""
    entries = [(size, icon_entry(icon_pixels(size))) for size in (16, 32)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in entries:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def check_icon(path):
    """Read the icon back with Pillow: both sizes present, transparent where the mask says."""
    with Image.open(path) as ico:
        sizes = sorted(ico.info["sizes"])
        assert sizes == [(16, 16), (32, 32)], sizes
        for size in (16, 32):
            ico.size = (size, size)
            img = ico.convert("RGBA")
            grid = icon_pixels(size)
            for y in range(size):
                for x in range(size):
                    r, g, b, a = img.getpixel((x, y))
                    if grid[y][x] is None:
                        assert a == 0, (size, x, y)
                    else:
                        assert a == 255 and (r, g, b) == ICON_PALETTE[grid[y][x]], (size, x, y)


# ---- mock-up of the whole client area -------------------------------------------------------

def mockup(skin_img):
    """The client area as the installer paints it in its idle state on Windows 7. The program's
    fonts are Arial with a cell height of 16 (bold) and 40 (regular), that is an em of about 14
    and 35 pixels; DejaVu Sans at those ems stands in for Arial."""
    img = Image.new("RGB", (W, H + BAND), WHITE)
    img.paste(skin_img, (0, 0))
    d = ImageDraw.Draw(img)
    text_font = font("DejaVuSans-Bold.ttf", 14)
    # O/S line: a 16-pixel cell, single line, at the top of (20, 200, 740, H).
    d.text((20, 200 + 1), "O/S: WIN7", font=text_font, fill=(0, 0, 0))
    d.text((20, H + 30 + 1), "Ready to install ? Click the button right there...",
           font=text_font, fill=(0, 0, 0))
    d.text((20, H + 50 + 1), "it will install Tarnwell Brindlemoor on your system...",
           font=text_font, fill=(100, 100, 100))
    box = (W - 320, H + 20, W - 20, H + 80)
    d.rounded_rectangle(box, radius=4, fill=WHITE, outline=(0, 0, 0))
    d.text(((box[0] + box[2]) / 2, (box[1] + box[3]) / 2), "Install",
           font=font("DejaVuSans.ttf", 35), fill=(0, 0, 0), anchor="mm")
    return img


def main():
    os.makedirs(OUT, exist_ok=True)
    img = skin()
    assert img.size == (W, H)
    img.save(os.path.join(OUT, "skin_101.bmp"), "BMP")
    icon_path = os.path.join(OUT, "icon_100.ico")
    write_icon(icon_path)
    check_icon(icon_path)
    if len(sys.argv) == 3 and sys.argv[1] == "--mockup":
        mockup(img).save(sys.argv[2])


if __name__ == "__main__":
    main()
