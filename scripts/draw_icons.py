#!/usr/bin/env python3
"""Draws Sondrel's icons as .ico files (32-bit images with alpha, 16, 24, 32 and 48 pixels;
the program's own icon at every size Windows asks for, up to 256 pixels).

The images are computed, not painted by hand, so they stay sharp at every size. Shapes are
laid out on a 16-unit grid and scaled, so straight edges fall on pixel boundaries at 16, 32
and 48 pixels:
  python3 scripts/draw_icons.py res/icons
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZES = (16, 24, 32, 48)
# The program's icon is shown by Explorer, the taskbar, the Start menu and the list of
# installed programs, at every display scale: 100 % to 250 % of 16 and 32, 48, 64 and 256.
PROGRAM_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
GRID = 16.0

WHITE = (1.0, 1.0, 1.0, 1.0)
OUTLINE = (0.13, 0.15, 0.18, 1.0)


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


def disc_distance(cx, cy, r):
    return lambda x, y: r - math.hypot(x - cx, y - cy)


def box_distance(x0, y0, x1, y1):
    """Inside distance of an axis-aligned rectangle (negative outside)."""
    def distance(x, y):
        dx = max(x0 - x, x - x1)
        dy = max(y0 - y, y - y1)
        if dx > 0 and dy > 0:
            return -math.hypot(dx, dy)
        return -max(dx, dy)
    return distance


def polygon_distance(points):
    """Inside distance of a convex polygon given clockwise in screen coordinates."""
    edges = []
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        length = math.hypot(bx - ax, by - ay)
        edges.append((ax, ay, (by - ay) / length, -(bx - ax) / length))

    def distance(x, y):
        return min(-((x - ax) * nx + (y - ay) * ny) for ax, ay, nx, ny in edges)
    return distance


def union(*distances):
    return lambda x, y: max(d(x, y) for d in distances)


def grow(distance, amount):
    """The shape widened by `amount` grid units on every side, for an outline under it."""
    return lambda x, y: distance(x, y) + amount


def arc_distance(cx, cy, radius, half_width, half_angle):
    """Inside distance of a round-capped stroke along a circle, opening to the right
    within +/- half_angle degrees of the x axis."""
    ends = [(cx + radius * math.cos(math.radians(a)), cy + radius * math.sin(math.radians(a)))
            for a in (-half_angle, half_angle)]

    def distance(x, y):
        if abs(math.degrees(math.atan2(y - cy, x - cx))) <= half_angle:
            return half_width - abs(math.hypot(x - cx, y - cy) - radius)
        return half_width - min(math.hypot(x - ex, y - ey) for ex, ey in ends)
    return distance


def gradient(top, bottom):
    """Vertical gradient across the grid, lighter at the top like a lit button."""
    def colour(y):
        t = max(0.0, min(1.0, y / GRID))
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(3)) + (1.0,)
    return colour


def render(size, layers):
    """Renders layers, each (inside distance, colour) in grid units, at `size` pixels.
    A colour may be a function of the grid row, for vertical gradients."""
    scale = size / GRID
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = (px + 0.5) / scale, (py + 0.5) / scale
            p = (0.0, 0.0, 0.0, 0.0)
            for distance, colour in layers:
                c = colour(y) if callable(colour) else colour
                p = blend(p, c[:3] + (c[3] * coverage(distance(x, y) * scale),))
            row.append(p)
        pixels.append(row)
    return pixels


def recorder_face(dot_top, dot_bottom):
    """The program's own image: a dark ring, a light face and a coloured recording dot."""
    return [
        (disc_distance(8, 8, 7.7), OUTLINE),
        (disc_distance(8, 8, 6.4), gradient((0.98, 0.98, 0.99), (0.80, 0.82, 0.85))),
        (disc_distance(8, 8, 4.3), gradient(dot_top, dot_bottom)),
        (disc_distance(6.9, 6.7, 1.3), (1.0, 1.0, 1.0, 0.55)),
    ]


def state_badge(top, bottom, glyph):
    """A state light: a coloured button with a white symbol on it."""
    return [
        (disc_distance(8, 8, 7.7), OUTLINE),
        (disc_distance(8, 8, 6.7), gradient(top, bottom)),
        (glyph, WHITE),
    ]


RED = ((1.0, 0.36, 0.34), (0.78, 0.05, 0.07))
GREY = ((0.72, 0.74, 0.77), (0.45, 0.47, 0.51))
AMBER = ((1.0, 0.78, 0.30), (0.87, 0.50, 0.02))
GREEN = ((0.45, 0.85, 0.42), (0.10, 0.56, 0.18))
SLATE = ((0.62, 0.66, 0.71), (0.36, 0.40, 0.46))

def button_glyph(top, bottom, shape):
    """A symbol for a flat button: a coloured shape with a dark outline, no background."""
    return [(grow(shape, 0.9), OUTLINE), (shape, gradient(top, bottom))]


SPEAKER = union(box_distance(2.5, 6, 5, 10), polygon_distance([(5, 6), (8.5, 3), (8.5, 13), (5, 10)]))

ICONS = {
    # 128: the program's icon and the tray icon while recording.
    'sondrel.ico': recorder_face(*RED),
    # 156: the tray icon while not recording, the same face with the dot switched off.
    'tray_idle.ico': recorder_face(*GREY),
    # 142, 134, 138, 139: the main window's state light for Idle, Recording, Paused, Playing.
    'state_idle.ico': state_badge(*SLATE, box_distance(5, 5, 11, 11)),
    'state_recording.ico': state_badge(*RED, disc_distance(8, 8, 3.4)),
    'state_paused.ico': state_badge(*AMBER, union(box_distance(5, 4.5, 7, 11.5),
                                                  box_distance(9, 4.5, 11, 11.5))),
    'state_playing.ico': state_badge(*GREEN, polygon_distance([(6, 4.5), (12, 8), (6, 11.5)])),
    # 145, 144: the player's play and stop button.
    'play.ico': button_glyph(*GREEN, polygon_distance([(4.5, 2.5), (13, 8), (4.5, 13.5)])),
    'stop.ico': button_glyph(*SLATE, box_distance(3.5, 3.5, 12.5, 12.5)),
    # 147: the speaker beside the player's volume control, with two sound waves.
    'speaker.ico': [
        (grow(SPEAKER, 0.9), OUTLINE),
        (SPEAKER, gradient(*SLATE)),
        (arc_distance(8.5, 8, 3.2, 0.55, 50), OUTLINE),
        (arc_distance(8.5, 8, 5.8, 0.55, 55), OUTLINE),
    ],
}


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


def png_image(pixels):
    """One icon image as PNG (8-bit RGBA), the form Windows reads for 256 pixels."""
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for p in row:
            raw += bytes(round(c * 255) for c in p)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9))
            + chunk(b'IEND', b''))


def write_ico(path, layers, sizes):
    # Large images as PNG: a 256-pixel bitmap would be a quarter of a megabyte.
    images = [(png_image if s >= 256 else ico_image)(render(s, layers)) for s in sizes]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    Path(path).write_bytes(out)


if __name__ == '__main__':
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else 'res/icons')
    folder.mkdir(parents=True, exist_ok=True)
    for name, layers in ICONS.items():
        write_ico(folder / name, layers, PROGRAM_SIZES if name == 'sondrel.ico' else SIZES)
        print(folder / name)
