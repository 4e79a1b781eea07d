#!/usr/bin/env python3
"""Draws the icon, a RGBA spot marker (a ringed dot with three waves): resources/icon.png at
256x256 (the embedded window icon) and the smaller sizes of the desktop theme into
resources/icons/, each drawn from the shape itself rather than scaled down from the large one.
Run it again after changing the shape; the output is the same byte for byte.
"""
import math
import struct
import zlib

SIZE = 256  # the shape's own coordinates run from 0 to SIZE
SAMPLES = 4  # supersampling per axis at full size, for smooth edges
THEME_SIZES = (16, 24, 32, 48, 64, 128)


def coverage(x, y):
    """Colour (r, g, b) and opacity of the shape at one sample point, or None."""
    cx, cy = 96.0, 160.0
    # Rounded square background.
    m, r = 8.0, 44.0
    dx = max(abs(x - 128) - (128 - m - r), 0.0)
    dy = max(abs(y - 128) - (128 - m - r), 0.0)
    if math.hypot(dx, dy) > r:
        return None
    d = math.hypot(x - cx, y - cy)
    if d < 26:
        return (255, 196, 40)  # the spot
    angle = math.atan2(cy - y, x - cx)
    if 0.0 <= angle <= math.pi / 2:
        for radius in (58, 92, 126):
            if abs(d - radius) < 9:
                return (255, 255, 255)
    # Background gradient, deep blue to teal.
    t = (x + y) / 512.0
    return (int(20 + 10 * t), int(60 + 90 * t), int(120 + 40 * t))


def pixel(px, py, size):
    # A smaller pixel covers more of the shape: as many samples per unit of it at every size.
    scale = SIZE / size
    samples = SAMPLES * SIZE // size
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(samples):
        for sx in range(samples):
            c = coverage((px + (sx + 0.5) / samples) * scale, (py + (sy + 0.5) / samples) * scale)
            if c is not None:
                acc[0] += c[0]
                acc[1] += c[1]
                acc[2] += c[2]
                acc[3] += 1
    if acc[3] == 0:
        return (0, 0, 0, 0)
    n = acc[3]
    return (round(acc[0] / n), round(acc[1] / n), round(acc[2] / n), round(255 * n / samples ** 2))


def png(rows, size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def write(path, size):
    image = [[pixel(x, y, size) for x in range(size)] for y in range(size)]
    with open(path, "wb") as f:
        f.write(png(image, size))


if __name__ == "__main__":
    import os
    here = os.path.dirname(os.path.abspath(__file__))
    write(os.path.join(here, "icon.png"), SIZE)
    os.makedirs(os.path.join(here, "icons"), exist_ok=True)
    for size in THEME_SIZES:
        write(os.path.join(here, "icons", "%dx%d.png" % (size, size)), size)
