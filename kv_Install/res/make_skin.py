#!/usr/bin/env python3
"""Writes the installer's skin pictures: the two top images (688 x 189), the
close button's two faces (22 x 22 PNGs) and the application icon. They are drawn here rather than kept as binaries so the
repository stays small and the pictures can be changed in one place.

Every skin picture is drawn three times, for 1x (96 dpi), 1.5x and 2x: the
1x top images as BMPs, everything else as PNGs (top@3.png is the 1.5x top
image, close_hover@4.png the 2x hover face: the number counts halves). The
larger sets are drawn at their size, never enlarged from the 1x ones.

usage: make_skin.py OUTDIR
"""
import math
import os
import struct
import sys
import zlib

W, H = 688, 189


def scaled(length, halves):
    """A 1x length at the set's scale (halves / 2), rounded half up as the
    program rounds it."""
    return (length * halves + 1) // 2


def top_pixel(x, y, hue_shift, k=1.0):
    """The top image's colour at pixel (x, y) of the set drawn at scale k."""
    x, y = x / k, y / k
    t = x / W
    glow = math.exp(-(((x - 0.72 * W) / 220.0) ** 2 + ((y - 60) / 90.0) ** 2))
    r = int(30 + 25 * t + 60 * glow)
    g = int(40 + 30 * t + 90 * glow) + hue_shift
    b = int(70 + 60 * t + 150 * glow)
    return tuple(min(255, max(0, v)) for v in (r, g, b))


def top_image(bpp, hue_shift):
    """A dark band with a soft diagonal glow, bottom-up rows as BMP wants."""
    row_bytes = (W * bpp // 8 + 3) & ~3
    rows = []
    for y in range(H - 1, -1, -1):
        row = bytearray()
        for x in range(W):
            r, g, b = top_pixel(x, y, hue_shift)
            row += bytes((b, g, r)) if bpp == 24 else bytes((b, g, r, 255))
        row += b"\0" * (row_bytes - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, bpp, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def icon():
    """32 x 32, 32 bits per pixel: a blue rounded square with a white K."""
    n = 32
    px = []
    for y in range(n - 1, -1, -1):
        for x in range(n):
            inside = 3 <= x <= 28 and 3 <= y <= 28
            k = (10 <= x <= 13 and 8 <= y <= 23) or (abs((x - 13) - abs(y - 15.5)) < 1.6 and 14 <= x <= 22 and 8 <= y <= 23)
            if not inside:
                px.append(b"\0\0\0\0")
            elif k:
                px.append(bytes((255, 255, 255, 255)))
            else:
                px.append(bytes((253, 125, 65, 255)))
    xor = b"".join(px)
    andmask = b"\0" * (4 * n)
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    image = info + xor + andmask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(image), 22) + image


def png(width, height, channels, pixel):
    """A PNG of 8-bit RGB (3 channels) or RGBA (4) rows, pixel(x, y) giving
    the channel values. No time or text chunks, so the bytes depend only on
    the picture (and on zlib)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    colour_type = {3: 2, 4: 6}[channels]
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    head = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def cross_cover(x, y, k=1.0, grid=4):
    """How much of pixel (x, y) the close button's cross covers, 0..1: two
    diagonal strokes through the centre, sampled on a grid x grid raster so
    the edges come out soft. k scales the 22-pixel face and its strokes."""
    n, arm, half_width = 22 * k, 6.5 * k, 0.85 * k
    c = n / 2.0
    hits = 0
    for sy in range(grid):
        for sx in range(grid):
            px = x + (sx + 0.5) / grid - c
            py = y + (sy + 0.5) / grid - c
            d1 = abs(px + py) / math.sqrt(2)  # distance from the stroke along x = y
            d2 = abs(px - py) / math.sqrt(2)  # and from the one along x = -y
            if (d2 <= half_width and d1 <= arm) or (d1 <= half_width and d2 <= arm):
                hits += 1
    return hits / float(grid * grid)


def close_normal(halves=2):
    """155: a light grey cross on a transparent ground, soft edges."""
    n, k = scaled(22, halves), halves / 2.0
    return png(n, n, 4, lambda x, y: (220, 220, 220, int(round(255 * cross_cover(x, y, k)))))


def close_hover(halves=2):
    """154: a white cross on a red square, no alpha channel."""
    red = (231, 39, 39)
    n, k = scaled(22, halves), halves / 2.0

    def pixel(x, y):
        a = cross_cover(x, y, k)
        return tuple(int(round(v + (255 - v) * a)) for v in red)

    return png(n, n, 3, pixel)


def top_png(hue_shift, halves):
    """The top image of the 1.5x or 2x set, RGB."""
    k = halves / 2.0
    return png(scaled(W, halves), scaled(H, halves), 3, lambda x, y: top_pixel(x, y, hue_shift, k))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pictures = [("top.bmp", top_image(24, 0)), ("top_progress.bmp", top_image(32, 10)), ("kvsetup.ico", icon()),
                ("close_normal.png", close_normal()), ("close_hover.png", close_hover())]
    for halves in (3, 4):
        pictures += [("top@%d.png" % halves, top_png(0, halves)), ("top_progress@%d.png" % halves, top_png(10, halves)),
                     ("close_normal@%d.png" % halves, close_normal(halves)),
                     ("close_hover@%d.png" % halves, close_hover(halves))]
    for name, data in pictures:
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
