#!/usr/bin/env python3
"""Draws Sondrel's icons as .ico files (32-bit images with alpha, 16, 32 and 48 pixels).

The images are computed, not painted by hand, so they stay sharp at every size:
  python3 scripts/draw_icons.py res/icons
"""
import math
import struct
import sys
from pathlib import Path

SIZES = (16, 32, 48)


def blend(dst, src):
    """Source-over composition of two RGBA tuples with components 0..1."""
    sa = src[3]
    da = dst[3] * (1 - sa)
    a = sa + da
    if a == 0:
        return (0, 0, 0, 0)
    return tuple((src[i] * sa + dst[i] * da) / a for i in range(3)) + (a,)


def coverage(distance):
    """Anti-aliased coverage of a pixel whose centre lies `distance` inside an edge."""
    return max(0.0, min(1.0, distance + 0.5))


def disc(cx, cy, r, colour):
    def shade(x, y):
        d = r - math.hypot(x - cx, y - cy)
        return colour[:3] + (colour[3] * coverage(d),)
    return shade


def record_icon(size):
    """A bright red recording dot in a dark ring: the program's own icon."""
    s = size
    layers = [
        disc(s / 2, s / 2, s * 0.47, (0.15, 0.17, 0.20, 1.0)),
        disc(s / 2, s / 2, s * 0.40, (0.92, 0.92, 0.94, 1.0)),
        disc(s / 2, s / 2, s * 0.30, (0.85, 0.08, 0.10, 1.0)),
        disc(s * 0.42, s * 0.40, s * 0.09, (1.0, 0.55, 0.55, 0.8)),
    ]
    return render(s, layers)


def render(size, layers):
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            p = (0.0, 0.0, 0.0, 0.0)
            for layer in layers:
                p = blend(p, layer(x + 0.5, y + 0.5))
            row.append(p)
        pixels.append(row)
    return pixels


def ico_image(pixels):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, and the 1-bit AND mask."""
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            body += bytes((round(b * 255), round(g * 255), round(r * 255), round(a * 255)))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(body) + bytes(mask)


def write_ico(path, draw):
    images = [ico_image(draw(s)) for s in SIZES]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    Path(path).write_bytes(out)


ICONS = {
    'sondrel.ico': record_icon,
}

if __name__ == '__main__':
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else 'res/icons')
    folder.mkdir(parents=True, exist_ok=True)
    for name, draw in ICONS.items():
        write_ico(folder / name, draw)
        print(folder / name)
