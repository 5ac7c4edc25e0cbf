#!/usr/bin/env python3
"""Draws the folder-tree pictures and the application icon.

The tree pictures are 4-bit Windows BMP files on the standard 16-colour
palette; the icon is a 64x64 RGBA PNG. Everything is drawn from code so the
files can be remade at any time, and the output depends on nothing but this
script: running it twice writes the same bytes.

At 200 % and 300 % screens Qt would double or triple the 16-pixel bitmaps;
the tree pictures are also drawn at those scales (name@2x.png, name@3x.png):
the lines and boxes with thin strokes at the finer grid, the folders enlarged
by Scale2x/Scale3x, which keeps their edges smooth, with the dithered pale
yellow as the true colour it stands for.

Usage: make_pictures.py [OUTPUT_DIR]   (default: the folder of this script)
"""

import math
import os
import struct
import sys
import zlib

# The standard Windows 16-colour palette, in its usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, SILVER, GREY, YELLOW, WHITE = 0, 7, 8, 11, 15
# The pale yellow the checker 'c' stands for; only the larger scales, which
# are PNG, use it.
PALE = 16
COLOURS = PALETTE + [(255, 255, 160)]


class Picture:
    """A grid of palette indices, white to begin with. Drawing calls take the
    coordinates of the 1x picture; at a larger scale a stroke is thinner than
    a whole 1x pixel, centred in it."""

    def __init__(self, width, height, scale=1):
        self.scale = scale
        self.width = width * scale
        self.height = height * scale
        self.pixels = [[WHITE] * self.width for _ in range(self.height)]

    def set(self, x, y, colour):
        self.pixels[y][x] = colour

    def block(self, x, y, colour, across_x, thickness):
        """Fills the 1x pixel (x, y) with a stroke `thickness` device pixels
        thick, running along x when `across_x` is false and along y otherwise."""
        s = self.scale
        inset = (s - thickness) // 2
        for dy in range(s):
            for dx in range(s):
                across = dx if across_x else dy
                if inset <= across < inset + thickness:
                    self.set(x * s + dx, y * s + dy, colour)

    def thin(self):
        return max(1, self.scale // 2)

    def dotted_v(self, x, y0, y1, colour=GREY):
        for y in range(y0, y1 + 1, 2):
            self.block(x, y, colour, True, self.thin())

    def dotted_h(self, y, x0, x1, colour=GREY):
        for x in range(x0, x1 + 1, 2):
            self.block(x, y, colour, False, self.thin())

    def solid_h(self, y, x0, x1, colour, thickness=None):
        for x in range(x0, x1 + 1):
            self.block(x, y, colour, False, thickness or self.thin())

    def solid_v(self, x, y0, y1, colour, thickness=None):
        for y in range(y0, y1 + 1):
            self.block(x, y, colour, True, thickness or self.thin())

    def outline(self, x0, y0, x1, y1, colour):
        self.solid_h(y0, x0, x1, colour)
        self.solid_h(y1, x0, x1, colour)
        self.solid_v(x0, y0, y1, colour)
        self.solid_v(x1, y0, y1, colour)

    def from_art(self, rows):
        """Paints a character drawing; see ART_COLOURS for the letters."""
        assert len(rows) == self.height, "art has the wrong height"
        for y, row in enumerate(rows):
            assert len(row) == self.width, f"art row {y} has the wrong width"
            for x, ch in enumerate(row):
                self.set(x, y, art_colour(ch, x, y))


# Letters of the folder drawings. 'c' is the yellow and white checker that
# reads as a pale yellow at 1:1; it alternates with the pixel position.
# 'W' is white like '.', but marks a highlight inside a shape rather than
# the background, which keeps the drawings readable.
ART_COLOURS = {".": WHITE, "K": BLACK, "G": GREY, "S": SILVER, "Y": YELLOW, "W": WHITE}


def art_colour(ch, x, y):
    if ch == "c":
        return YELLOW if (x + y) % 2 == 0 else WHITE
    return ART_COLOURS[ch]


def bmp_bytes(picture):
    """Encodes a picture as an uncompressed bottom-up 4-bit BMP."""
    row_size = (picture.width * 4 + 31) // 32 * 4
    rows = []
    for y in reversed(range(picture.height)):
        line = picture.pixels[y] + [0] * (row_size * 2 - picture.width)
        rows.append(bytes((line[i] << 4) | line[i + 1] for i in range(0, row_size * 2, 2)))
    image = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, picture.width, picture.height, 1, 4, 0,
                              len(image), 0, 0, 16, 0)
    return file_header + info_header + palette + image


def corner(vertical_end, scale=1):
    """A dotted line down from the top that turns right on row 11."""
    p = Picture(16, 19, scale)
    p.dotted_v(5, 1, vertical_end)
    p.dotted_h(11, 5, 15)
    return p


def vertical_line(scale=1):
    p = Picture(16, 19, scale)
    p.dotted_v(4, 1, 17)
    return p


def horizontal_line(scale=1):
    p = Picture(16, 19, scale)
    p.dotted_h(11, 1, 15)
    return p


def box(with_plus, scale=1):
    """The open/close box of a branch, with its connectors to the tree."""
    p = Picture(16, 19, scale)
    bold = max(1, scale - scale // 3)
    p.outline(1, 7, 9, 15, GREY)
    p.dotted_v(5, 1, 5)
    p.dotted_v(5, 17, 17)
    p.dotted_h(11, 11, 15)
    p.solid_h(11, 3, 7, BLACK, bold)
    if with_plus:
        p.solid_v(5, 9, 13, BLACK, bold)
    return p


CLOSED_FOLDER = [
    "................",
    "................",
    "..KKKK..........",
    ".KccccK.........",
    ".KKKKKKKKKKKK...",
    ".KWWWWWWWWWWKG..",
    ".KcccccccccYKG..",
    ".KcccccccccYKG..",
    ".KcccccccccYKG..",
    ".KcccccccccYKG..",
    ".KcccccccccYKG..",
    ".KcccccccccYKG..",
    ".KcccccccccYKG..",
    ".KKKKKKKKKKKKG..",
    "..GGGGGGGGGGGG..",
    "................",
]

OPEN_FOLDER = [
    "...................",
    "...................",
    "..KKKK.............",
    ".KSSSSK............",
    ".KSWWWSKKKKKKK.....",
    ".KSWGGGGGGGGGSK....",
    ".KSWGSSSSSSSSSK....",
    ".KSWGSSSSSSSSSK....",
    ".KSWGKKKKKKKKKKKKK.",
    ".KSWKcccccccccccYK.",
    ".KSKcccccccccccYK..",
    ".KSKcccccccccccYK..",
    ".KKcccccccccccYK...",
    ".KKcccccccccccYK...",
    ".KcccccccccccYK....",
    ".KKKKKKKKKKKKKK....",
    "..GGGGGGGGGGGGG....",
    "...................",
]


# The archive: a closed folder with a zipper down its front and the zipper's pull at its foot,
# as a compressed folder is drawn.
ZIPPED_FOLDER = [
    "................",
    "................",
    "..KKKK..........",
    ".KccccK.........",
    ".KKKKKKKKKKKK...",
    ".KWWWWKSWWWWKG..",
    ".KccccSKcccYKG..",
    ".KccccKScccYKG..",
    ".KccccSKcccYKG..",
    ".KccccKScccYKG..",
    ".KccccSKcccYKG..",
    ".KcccKKKKccYKG..",
    ".KcccKSSKccYKG..",
    ".KKKKKKKKKKKKG..",
    "..GGGGGGGGGGGG..",
    "................",
]


def folder(art, scale=1):
    p = Picture(len(art[0]), len(art))
    p.from_art(art)
    if scale == 1:
        return p
    # The checker reads as pale yellow only at 1:1; enlarged, it is the colour itself.
    for y, row in enumerate(art):
        for x, ch in enumerate(row):
            if ch == "c":
                p.set(x, y, PALE)
    return enlarged(p, scale)


def enlarged(p, scale):
    """Scale2x or Scale3x: each pixel becomes a 2x2 or 3x3 block whose corners
    take a neighbour's colour where two neighbours agree, so diagonal edges
    stay smooth instead of turning into steps."""
    def at(x, y):
        return p.pixels[min(max(y, 0), p.height - 1)][min(max(x, 0), p.width - 1)]

    out = Picture(p.width, p.height, scale)
    for y in range(p.height):
        for x in range(p.width):
            a, b, c = at(x - 1, y - 1), at(x, y - 1), at(x + 1, y - 1)
            d, e, f = at(x - 1, y), at(x, y), at(x + 1, y)
            g, h, i = at(x - 1, y + 1), at(x, y + 1), at(x + 1, y + 1)
            if scale == 2:
                block = [[d if d == b and b != f and d != h else e, f if b == f and b != d and f != h else e],
                         [d if d == h and d != b and h != f else e, f if h == f and d != h and b != f else e]]
            else:
                block = [
                    [d if d == b and b != f and d != h else e,
                     b if (d == b and b != f and d != h and e != c) or (b == f and b != d and f != h and e != a) else e,
                     f if b == f and b != d and f != h else e],
                    [d if (d == b and b != f and d != h and e != g) or (d == h and d != b and h != f and e != a) else e,
                     e,
                     f if (b == f and b != d and f != h and e != i) or (h == f and d != h and b != f and e != c) else e],
                    [d if d == h and d != b and h != f else e,
                     h if (d == h and d != b and h != f and e != i) or (h == f and d != h and b != f and e != g) else e,
                     f if h == f and d != h and b != f else e],
                ]
            for dy in range(scale):
                for dx in range(scale):
                    out.set(x * scale + dx, y * scale + dy, block[dy][dx])
    return out


TREE_PICTURES = {
    "empty.bmp": lambda scale: corner(11, scale),
    "empty2.bmp": lambda scale: corner(17, scale),
    "lines.bmp": vertical_line,
    "line.bmp": horizontal_line,
    "minus.bmp": lambda scale: box(False, scale),
    "plus.bmp": lambda scale: box(True, scale),
    "folder.bmp": lambda scale: folder(CLOSED_FOLDER, scale),
    "foldopen.bmp": lambda scale: folder(OPEN_FOLDER, scale),
    "archive.bmp": lambda scale: folder(ZIPPED_FOLDER, scale),
}
LARGER_SCALES = (2, 3)


def picture_png(picture):
    rows = [[COLOURS[index] + (255,) for index in row] for row in picture.pixels]
    return png_bytes(picture.width, picture.height, rows)


# ---------------------------------------------------------------- the icon
#
# The icon is a silver disc with a yellow folder in front of it. It is drawn
# as a stack of shapes, each a test "is this point inside" plus a colour;
# every pixel averages 4x4 samples so the edges come out smooth.

ICON_SIZE = 64
SAMPLES = 4

DISC_CENTRE = (27.0, 27.0)
DISC_RADIUS = 25.5
HOLE_RADIUS = 4.5
HUB_RADIUS = 10.0


def disc_distance(x, y):
    return math.hypot(x - DISC_CENTRE[0], y - DISC_CENTRE[1])


def disc_surface(x, y):
    """Silver with two soft light bands, the way a disc catches the light."""
    dx, dy = x - DISC_CENTRE[0], y - DISC_CENTRE[1]
    angle = math.atan2(dy, dx)
    shine = max(0.0, math.cos(2.0 * (angle + 0.8))) ** 6
    base = 0.78 - 0.18 * (disc_distance(x, y) / DISC_RADIUS)
    tint = (0.93 * base, 0.96 * base, 1.0 * base)
    return tuple(min(1.0, c + 0.35 * shine) for c in tint) + (1.0,)


def in_rect(x, y, x0, y0, x1, y1):
    return x0 <= x < x1 and y0 <= y < y1


def in_polygon(x, y, points):
    """Even-odd rule point test."""
    inside = False
    n = len(points)
    for i in range(n):
        (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
        if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
            inside = not inside
    return inside


def rgba(r, g, b, a=255):
    return (r / 255.0, g / 255.0, b / 255.0, a / 255.0)


FOLDER_EDGE = rgba(120, 78, 10)
FOLDER_BACK = rgba(232, 168, 36)
FOLDER_FRONT = rgba(255, 212, 84)
FOLDER_LIGHT = rgba(255, 236, 160)
PAPER = rgba(250, 250, 246)

BACK = [(31, 37), (41, 37), (44, 40), (60, 40), (60, 60), (31, 60)]
FRONT = [(35, 45), (63, 45), (59, 60), (31, 60)]


def shrink(points, by):
    """Moves every corner of a convex-ish outline towards its centre."""
    cx = sum(p[0] for p in points) / len(points)
    cy = sum(p[1] for p in points) / len(points)
    out = []
    for x, y in points:
        length = math.hypot(x - cx, y - cy)
        out.append((x - (x - cx) * by / length, y - (y - cy) * by / length))
    return out


def icon_layers():
    """Shapes from the back to the front: (inside test, colour function)."""
    constant = lambda colour: (lambda x, y: colour)
    ring = lambda r0, r1: (lambda x, y: r0 <= disc_distance(x, y) < r1)
    return [
        (lambda x, y: disc_distance(x - 1.2, y - 1.6) < DISC_RADIUS, constant(rgba(0, 0, 0, 60))),
        (lambda x, y: disc_distance(x, y) < DISC_RADIUS, constant(rgba(70, 80, 100))),
        (lambda x, y: disc_distance(x, y) < DISC_RADIUS - 1.0, disc_surface),
        (ring(HUB_RADIUS - 1.0, HUB_RADIUS), constant(rgba(150, 158, 172))),
        (lambda x, y: disc_distance(x, y) < HUB_RADIUS - 1.0, constant(rgba(220, 226, 234))),
        (ring(HOLE_RADIUS, HOLE_RADIUS + 1.0), constant(rgba(110, 118, 132))),
        (lambda x, y: in_polygon(x, y, BACK), constant(FOLDER_EDGE)),
        (lambda x, y: in_polygon(x, y, shrink(BACK, 1.2)), constant(FOLDER_BACK)),
        (lambda x, y: in_rect(x, y, 35, 42, 57, 50), constant(FOLDER_EDGE)),
        (lambda x, y: in_rect(x, y, 36, 43, 56, 50), constant(PAPER)),
        (lambda x, y: in_polygon(x, y, FRONT), constant(FOLDER_EDGE)),
        (lambda x, y: in_polygon(x, y, shrink(FRONT, 1.3)), constant(FOLDER_FRONT)),
        (lambda x, y: in_rect(x, y, 35, 46.3, 61, 47.6) and in_polygon(x, y, shrink(FRONT, 1.3)),
         constant(FOLDER_LIGHT)),
    ]


def hole(x, y):
    return disc_distance(x, y) < HOLE_RADIUS


def sample(layers, x, y):
    """Composites the layers at one point; returns premultiplied RGBA."""
    r = g = b = a = 0.0
    for inside, colour in layers:
        if not inside(x, y):
            continue
        cr, cg, cb, ca = colour(x, y)
        r, g, b = cr * ca + r * (1 - ca), cg * ca + g * (1 - ca), cb * ca + b * (1 - ca)
        a = ca + a * (1 - ca)
    if hole(x, y) and not in_polygon(x, y, BACK):
        return (0.0, 0.0, 0.0, 0.0)
    return (r, g, b, a)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(width, height, rows):
    """Encodes rows of (r, g, b, a) tuples as an 8-bit RGBA PNG."""
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def icon_rows(size=ICON_SIZE):
    """The icon drawn at `size` pixels: the same shapes, sampled on a finer grid."""
    layers = icon_layers()
    scale = ICON_SIZE / size
    return [[scaled_pixel(layers, x, y, scale) for x in range(size)] for y in range(size)]


def scaled_pixel(layers, px, py, scale):
    total = [0.0, 0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            s = sample(layers, (px + (sx + 0.5) / SAMPLES) * scale, (py + (sy + 0.5) / SAMPLES) * scale)
            total = [t + v for t, v in zip(total, s)]
    n = SAMPLES * SAMPLES
    alpha = total[3] / n
    if alpha <= 0.0:
        return (0, 0, 0, 0)
    return tuple(round(min(1.0, c / n / alpha) * 255) for c in total[:3]) + (round(alpha * 255),)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    pictures_dir = os.path.join(out_dir, "pictures")
    os.makedirs(pictures_dir, exist_ok=True)
    for name, draw in TREE_PICTURES.items():
        write(os.path.join(pictures_dir, name), bmp_bytes(draw(1)))
        for scale in LARGER_SCALES:
            larger = name.replace(".bmp", f"@{scale}x.png")
            write(os.path.join(pictures_dir, larger), picture_png(draw(scale)))
    write(os.path.join(out_dir, "tarvek.png"), png_bytes(ICON_SIZE, ICON_SIZE, icon_rows()))
    # Larger sizes for the desktop's icon theme.
    icons_dir = os.path.join(out_dir, "icons")
    os.makedirs(icons_dir, exist_ok=True)
    for size in (128, 256):
        write(os.path.join(icons_dir, f"tarvek-{size}.png"), png_bytes(size, size, icon_rows(size)))


if __name__ == "__main__":
    main()
