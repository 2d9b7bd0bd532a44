#!/usr/bin/env python3
"""Draws the editor's artwork into resources/.

The small icons are pixel art on a shared 16-colour palette; the emblem of the
larger icons, the scalable icon and the logo is built from a few polygons.
Only the Python standard library is used, except for the lettering of the
logo, which ImageMagick's `convert` sets (fonts-urw-base35 for C059).

The generated files are committed, so a build never runs this script.
Run it from anywhere:  python3 resources/make_artwork.py
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# --------------------------------------------------------------------------
# The palette: 16 colours shared by every icon, plus "." for transparent.
PALETTE = {
    "k": (0x1A, 0x1F, 0x3A),  # outline, near black navy
    "N": (0x1E, 0x3F, 0x78),  # field, dark blue
    "B": (0x2C, 0x5A, 0xA0),  # field, blue
    "b": (0x4A, 0x7C, 0xC8),  # field, light blue
    "Y": (0xF4, 0xD0, 0x60),  # rim, light gold
    "y": (0xD8, 0xA8, 0x30),  # rim, gold
    "o": (0x9A, 0x70, 0x20),  # rim, dark gold
    "G": (0x6C, 0xC0, 0x4A),  # thorn, light green
    "g": (0x2E, 0x8B, 0x3E),  # thorn, green
    "d": (0x1B, 0x5A, 0x26),  # thorn, dark green
    "w": (0xFF, 0xFF, 0xFF),  # white
    "s": (0xC8, 0xCC, 0xD4),  # silver
    "m": (0x80, 0x84, 0x90),  # grey
    "i": (0x1F, 0x5F, 0xD0),  # the blue of the "i"
    "p": (0xF2, 0xE4, 0xBC),  # parchment
    "P": (0xC8, 0xA8, 0x68),  # parchment shadow
}

# The main window's icon: a gold-rimmed shield with three thorns rising
# from a vine, like the bars of a growing stat.
MAIN_ICON = """
................
.kkkkkkkkkkkkkk.
.kYYYYYYYYYYYyk.
.kYbbbbbbbbbByk.
.kYbBBBBBBBgNyk.
.kYbBBBBBBgGNyk.
.kYbBBBBBBgGNyk.
.kYbBBBgBgGgNyk.
.kYbBBgGBgGgNyk.
.kYbBgGgBgGgNyk.
.kyygGgdgGgdgyk.
..kyddddddddyk..
...kyNNNNNNyk...
....kyyNNyyk....
.....kkyokk.....
.......kk.......
"""

# The About window's icon: a scroll with lines of writing and a green seal.
ABOUT_ICON = """
................
..kkkkkkkkkkkk..
.kPpppppppppppk.
.kPPPPPPPPPPPPk.
..kppppppppppk..
..kpmmmmmmmmpk..
..kpppppppppPk..
..kpmmmmmmmppk..
..kpppppppppPk..
..kpmmmmmppppk..
..kppppppkkppk..
..kppppppkgGkk..
.kkkkkkkkkdgGGk.
.kPpppppppkdgdk.
..kkkkkkkkkkdk..
................
"""

# InfoIMG: a white speech balloon with a blue "i".
INFO_ICON = """
................
....kkkkkkkk....
..kkwwwwwwwwkk..
.kwwwwwiiwwwwwk.
.kwwwwwiiwwwwsk.
.kwwwwwwwwwwwsk.
.kwwwwiiiwwwwsk.
.kwwwwwiiwwwwsk.
.kwwwwwiiwwwwsk.
.kwwwwwiiwwwwsk.
.kwwwwiiiiwwssk.
..kkwwwwwssskk..
....kkwskkkk....
.....kwk........
....kkk.........
................
"""


def grid(text):
    rows = [r for r in text.strip("\n").split("\n")]
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), "16 x 16 expected"
    return rows


# --------------------------------------------------------------------------
# PNG writers.

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _png(width, height, colour_type, rows, extra=b""):
    raw = b"".join(b"\0" + r for r in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + extra
            + _chunk(b"IDAT", zlib.compress(raw, 9)) + _chunk(b"IEND", b""))


def write_palette_png(path, rows):
    """A palette PNG: index 0 transparent, then the 16 colours."""
    keys = list(PALETTE)
    plte = b"\0\0\0" + b"".join(bytes(PALETTE[k]) for k in keys)
    trns = b"\0"
    index = {k: i + 1 for i, k in enumerate(keys)}
    index["."] = 0
    data = [bytes(index[c] for c in r) for r in rows]
    extra = _chunk(b"PLTE", plte) + _chunk(b"tRNS", trns)
    with open(path, "wb") as f:
        f.write(_png(16, 16, 3, data, extra))


def write_ico(path, pngs):
    """A Windows icon holding the given PNG files (sizes up to 256)."""
    blobs = []
    for png in pngs:
        with open(png, "rb") as f:
            blobs.append(f.read())
    offset = 6 + 16 * len(blobs)
    entries = b""
    for blob in blobs:
        width, height = struct.unpack(">II", blob[16:24])
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(blobs)) + entries + b"".join(blobs))


def write_rgba_png(path, image):
    rows = [bytes(v for px in row for v in px) for row in image.pixels]
    with open(path, "wb") as f:
        f.write(_png(image.width, image.height, 6, rows))


# --------------------------------------------------------------------------
# A small anti-aliased polygon painter (non-zero winding, 16 sub-rows a pixel).

class Image:
    def __init__(self, width, height):
        self.width, self.height = width, height
        # premultiplication is not needed: shapes are painted over in order
        self.pixels = [[(0, 0, 0, 0)] * width for _ in range(height)]

    def fill(self, polygon, colour, opacity=1.0):
        sub = 16
        cover = [[0.0] * (self.width + 1) for _ in range(self.height)]
        edges = list(zip(polygon, polygon[1:] + polygon[:1]))
        for sy in range(self.height * sub):
            y = (sy + 0.5) / sub
            crossings = []
            for (x0, y0), (x1, y1) in edges:
                if (y0 <= y < y1) or (y1 <= y < y0):
                    crossings.append((x0 + (y - y0) * (x1 - x0) / (y1 - y0), 1 if y1 > y0 else -1))
            if not crossings:
                continue
            crossings.sort()
            row = cover[sy // sub]
            winding = 0
            for (xa, wa), (xb, _) in zip(crossings, crossings[1:]):
                winding += wa
                if winding != 0:
                    self._span(row, max(xa, 0.0), min(xb, float(self.width)), 1.0 / sub)
        r, g, b = colour
        for py in range(self.height):
            for px in range(self.width):
                a = min(cover[py][px], 1.0) * opacity
                if a > 0:
                    self._over(px, py, r, g, b, a)

    @staticmethod
    def _span(row, xa, xb, weight):
        if xb <= xa:
            return
        ia, ib = int(xa), int(xb)
        if ia == ib:
            row[ia] += (xb - xa) * weight
            return
        row[ia] += (ia + 1 - xa) * weight
        for i in range(ia + 1, ib):
            row[i] += weight
        if ib < len(row):
            row[ib] += (xb - ib) * weight

    def _over(self, x, y, r, g, b, a):
        dr, dg, db, da = self.pixels[y][x]
        da /= 255.0
        out = a + da * (1 - a)
        mix = lambda s, d: round((s * a + d * da * (1 - a)) / out)
        self.pixels[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), round(out * 255))


def hexrgb(key):
    return PALETTE[key]


# --------------------------------------------------------------------------
# The emblem as polygons in a 256 x 256 box.

def _bezier(p0, p1, p2, steps=24):
    return [((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
             (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1])
            for t in (i / steps for i in range(1, steps + 1))]


def shield(inset):
    """The shield outline, shrunk by `inset` units (it is convex)."""
    outline = [(16, 16), (240, 16), (240, 124)]
    outline += _bezier((240, 124), (236, 200), (128, 248))
    outline += _bezier((128, 248), (20, 200), (16, 124))
    return _shrink(outline, inset)


def _shrink(points, d):
    if d == 0:
        return points
    n = len(points)
    out = []
    for i in range(n):
        ax, ay = points[i - 1]
        bx, by = points[i]
        cx, cy = points[(i + 1) % n]
        # inward normals of the two edges at this corner (clockwise on screen)
        n1 = _unit(-(by - ay), bx - ax)
        n2 = _unit(-(cy - by), cx - bx)
        mx, my = _unit(n1[0] + n2[0], n1[1] + n2[1])
        cos_half = mx * n1[0] + my * n1[1]
        out.append((bx + mx * d / cos_half, by + my * d / cos_half))
    return out


def _unit(x, y):
    length = math.hypot(x, y) or 1.0
    return (x / length, y / length)


def thorn(base_x, base_y, width, height, lean=0.18):
    """A rose thorn: straight back, hollow front edge, leaning right."""
    tip = (base_x + width * (0.5 + lean), base_y - height)
    back = _bezier((base_x, base_y), (base_x + width * 0.15, base_y - height * 0.55), tip, 16)
    front = _bezier(tip, (base_x + width * 0.75, base_y - height * 0.30), (base_x + width, base_y), 16)
    return [(base_x, base_y)] + back + front


def vine():
    top = _bezier((34, 176), (128, 160), (222, 176), 32)
    bottom = _bezier((222, 196), (128, 180), (34, 196), 32)
    return top + bottom


def emblem_layers():
    """(polygon, palette key) from back to front."""
    layers = [
        (shield(0), "k"),
        (shield(7), "o"),
        (shield(9), "y"),
        (_clip_left(shield(9), 128), "Y"),
        (shield(22), "N"),
        (shield(24), "B"),
        (_clip_left(shield(24), 96), "b"),
    ]
    for x, h in ((58, 56), (108, 92), (158, 128)):
        layers.append((thorn(x - 2, 182, 46, h + 4), "d"))
        layers.append((thorn(x, 180, 42, h), "g"))
        layers.append((thorn(x + 4, 178, 16, h * 0.75, lean=0.9), "G"))
    layers.append((vine(), "d"))
    layers.append(([(p[0], p[1] - 3) for p in vine()[:33]] + [(222, 182), (34, 182)], "g"))
    return layers


def _clip_left(polygon, x_max):
    """The part of a convex polygon left of x = x_max."""
    out = []
    n = len(polygon)
    for i in range(n):
        a, b = polygon[i], polygon[(i + 1) % n]
        if a[0] <= x_max:
            out.append(a)
        if (a[0] <= x_max) != (b[0] <= x_max):
            t = (x_max - a[0]) / (b[0] - a[0])
            out.append((x_max, a[1] + t * (b[1] - a[1])))
    return out


def paint_emblem(image, size, ox=0.0, oy=0.0):
    scale = size / 256.0
    for polygon, key in emblem_layers():
        image.fill([(ox + x * scale, oy + y * scale) for x, y in polygon], hexrgb(key))


def emblem_svg():
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for polygon, key in emblem_layers():
        points = " ".join(f"{x:.1f},{y:.1f}" for x, y in polygon)
        parts.append(f'  <polygon fill="#{"%02x%02x%02x" % hexrgb(key)}" points="{points}"/>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


# --------------------------------------------------------------------------
# The logo: emblem, the program's name, a thorny vine beneath.

LOGO_W, LOGO_H = 393, 151


def paint_logo_base(path):
    image = Image(LOGO_W, LOGO_H)
    paint_emblem(image, 92, 4, 4)
    # a vine running from under the emblem to below the name, with thorns and
    # two leaves; it keeps clear of the right half, where the window's text lies
    stem = _bezier((14, 112), (120, 96), (226, 110), 48)
    image.fill(stem + [(x + 1, y + 4) for x, y in reversed(stem)], hexrgb("d"))
    image.fill(stem[4:44] + [(x, y + 1.5) for x, y in reversed(stem[4:44])], hexrgb("g"))
    for i, t in enumerate((0.10, 0.27, 0.44, 0.61, 0.78, 0.95)):
        x, y = stem[int(t * (len(stem) - 1))]
        spike = thorn(x - 5, y + 1, 10, 11)
        if i % 2:  # every other thorn points down
            spike = [(px, 2 * y + 3 - py) for px, py in spike]
        image.fill(spike, hexrgb("d"))
    for x0, flip in ((70, 1), (160, -1)):
        x, y = stem[int(x0 / 226 * (len(stem) - 1))]
        leaf = _bezier((x, y + 2), (x + 10, y + 2 - 14 * flip), (x + 22, y + 2 - 8 * flip), 12)
        leaf += _bezier((x + 22, y + 2 - 8 * flip), (x + 12, y + 2 + 2 * flip), (x, y + 2), 12)
        image.fill(leaf, hexrgb("G" if flip > 0 else "g"))
    write_rgba_png(path, image)


def set_lettering(base, out):
    dark, gold = "#%02x%02x%02x" % hexrgb("N"), "#%02x%02x%02x" % hexrgb("o")
    subprocess.run([
        "convert", base, "-background", "none",
        "-font", "C059-Bold", "-pointsize", "44",
        "-fill", dark, "-stroke", dark, "-strokewidth", "0.6",
        "-annotate", "+104+50", "Thornwake",
        "-font", "C059-Bold", "-pointsize", "21", "-strokewidth", "0",
        "-fill", gold, "-stroke", "none",
        "-annotate", "+107+78", "Level & Stat Editor",
        "-strip", "-define", "png:exclude-chunks=date,time", "-define", "png:color-type=6", out,
    ], check=True)


# --------------------------------------------------------------------------

def main():
    icons = os.path.join(HERE, "icons")
    images = os.path.join(HERE, "images")
    os.makedirs(icons, exist_ok=True)
    os.makedirs(images, exist_ok=True)

    write_palette_png(os.path.join(icons, "thornwake.png"), grid(MAIN_ICON))
    write_palette_png(os.path.join(icons, "about.png"), grid(ABOUT_ICON))
    write_palette_png(os.path.join(icons, "info.png"), grid(INFO_ICON))

    # Larger sizes of the program's icon for the desktop.
    for size in (32, 48, 64, 128, 256):
        image = Image(size, size)
        paint_emblem(image, size)
        write_rgba_png(os.path.join(icons, f"thornwake-{size}.png"), image)
    with open(os.path.join(icons, "thornwake.svg"), "w") as f:
        f.write(emblem_svg())
    # The program file's icon on Windows (resources/thornwake.rc).
    write_ico(os.path.join(icons, "thornwake.ico"),
              [os.path.join(icons, name) for name in
               ("thornwake.png", "thornwake-32.png", "thornwake-48.png", "thornwake-256.png")])

    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "logo-base.png")
        paint_logo_base(base)
        set_lettering(base, os.path.join(images, "logo.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
