#!/usr/bin/env python3
"""Draws the banner at the top of Sondrel's main window as a 24-bit BMP:
  python3 scripts/draw_banner.py res/banner.bmp

The banner is 470 x 75 pixels, the size of its 313 x 46 dialog-unit frame at the usual
96-dpi dialog font, so it needs no scaling there. The lettering is a small geometric stroke
font defined below, rendered with anti-aliasing, so the script needs nothing but Python.
"""
import math
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 470, 75

BACK_LEFT = (0.09, 0.13, 0.22)
BACK_RIGHT = (0.05, 0.27, 0.36)
WAVE = (0.40, 0.78, 0.86)
RED = (0.90, 0.16, 0.16)
NAME_LIGHT = (0.72, 0.83, 0.90)
NAME_BOLD = (1.0, 1.0, 1.0)
TAGLINE = (0.55, 0.70, 0.80)


def arc(cx, cy, rx, ry, start, end, steps=24):
    """Points along an elliptical arc, angles in degrees, counter-clockwise with y up."""
    return [(cx + rx * math.cos(math.radians(a)), cy + ry * math.sin(math.radians(a)))
            for a in (start + (end - start) * i / steps for i in range(steps + 1))]


# Glyphs on a grid with the baseline at 0, x-height 7 and cap height 10 (y up). Each glyph
# is (advance width, strokes); a stroke is a polyline.
GLYPHS = {
    'V': (7.0, [[(0, 10), (3.5, 0), (7, 10)]]),
    'S': (6.4, [arc(3.2, 7.55, 3.0, 2.45, 25, 270) + arc(3.2, 2.45, 3.2, 2.65, 90, -155)]),
    'a': (7.0, [arc(3.5, 3.5, 3.5, 3.5, 0, 360, 48), [(7, 0), (7, 7)]]),
    'd': (7.0, [arc(3.5, 3.5, 3.5, 3.5, 0, 360, 48), [(7, 0), (7, 10)]]),
    'e': (7.0, [[(0.2, 3.6), (7, 3.6)] + arc(3.5, 3.5, 3.5, 3.5, 0, 315, 42)]),
    'l': (0.0, [[(0, 0), (0, 10)]]),
    'm': (9.0, [[(0, 0), (0, 7)], [(0, 4.75)] + arc(2.25, 4.75, 2.25, 2.25, 180, 0) + [(4.5, 0)],
                [(4.5, 4.75)] + arc(6.75, 4.75, 2.25, 2.25, 180, 0) + [(9, 0)]]),
    'n': (6.0, [[(0, 0), (0, 7)], [(0, 4)] + arc(3, 4, 3, 3, 180, 0) + [(6, 0)]]),
    'o': (7.0, [arc(3.5, 3.5, 3.5, 3.5, 0, 360, 48)]),
    'r': (3.8, [[(0, 0), (0, 7)], [(0, 3.8)] + arc(3.6, 3.6, 3.6, 3.4, 180, 90)]),
    'c': (6.4, [arc(3.5, 3.5, 3.5, 3.5, 42, 318, 36)]),
    's': (5.0, [arc(2.5, 5.3, 2.3, 1.7, 25, 270) + arc(2.5, 1.75, 2.5, 1.85, 90, -155)]),
    'u': (6.0, [[(0, 7), (0, 3)] + arc(3, 3, 3, 3, 180, 360) + [(6, 7)], [(6, 3), (6, 0)]]),
    ' ': (2.6, []),
}
TRACKING = 2.4  # space between glyphs, in grid units


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def text_segments(text, x, baseline, unit):
    """The strokes of `text` as pixel segments, and the x after its last glyph."""
    segments = []
    for ch in text:
        advance, strokes = GLYPHS[ch]
        for stroke in strokes:
            points = [(x + gx * unit, baseline - gy * unit) for gx, gy in stroke]
            segments += [a + b for a, b in zip(points, points[1:])]
        x += (advance + TRACKING) * unit
    return segments, x - TRACKING * unit


def stroke_layer(segments, half_width, colour):
    """Coverage of round-capped strokes, looked up per pixel within their bounding box."""
    xs = [v for s in segments for v in (s[0], s[2])]
    ys = [v for s in segments for v in (s[1], s[3])]
    margin = half_width + 1
    box = (min(xs) - margin, min(ys) - margin, max(xs) + margin, max(ys) + margin)

    def shade(x, y):
        if not (box[0] <= x <= box[2] and box[1] <= y <= box[3]):
            return 0.0, colour
        d = min(segment_distance(x, y, *s) for s in segments
                if abs(s[1] - y) <= margin + abs(s[3] - s[1]))
        return max(0.0, min(1.0, half_width - d + 0.5)), colour
    return shade


def disc_layer(cx, cy, r, colour):
    def shade(x, y):
        return max(0.0, min(1.0, r - math.hypot(x - cx, y - cy) + 0.5)), colour
    return shade


def level_bars_layer(x0, x1, centre, colour):
    """A row of thin rounded bars whose heights trace a decaying sound wave."""
    bars = []
    x = x0
    while x < x1:
        t = (x - x0) / (x1 - x0)
        envelope = 0.25 + 0.75 * math.sin(math.pi * t) ** 1.5
        wave = abs(math.sin(x * 0.21) * 0.65 + math.sin(x * 0.057 + 1.3) * 0.35)
        bars.append((x, max(1.5, 26 * envelope * wave)))
        x += 5

    def shade(px, py):
        for bx, h in bars:
            if abs(px - bx) < 2.5:
                d = segment_distance(px, py, bx, centre - h / 2, bx, centre + h / 2)
                fade = 0.15 + 0.55 * (bx - x0) / (x1 - x0)
                return max(0.0, min(1.0, 1.25 - d + 0.5)) * fade, colour
        return 0.0, colour
    return shade


def background(x, y):
    """A diagonal dark blue to teal gradient with a faint highlight along the top."""
    t = min(1.0, max(0.0, x / WIDTH * 0.85 + y / HEIGHT * 0.15))
    c = [BACK_LEFT[i] + (BACK_RIGHT[i] - BACK_LEFT[i]) * t for i in range(3)]
    if y < 1:
        c = [v + 0.08 for v in c]
    return c


def draw():
    unit = 2.5
    baseline = 47
    dot = disc_layer(37.5, 37.5, 13, RED)
    ring = disc_layer(37.5, 37.5, 17.5, (0.95, 0.95, 0.97))
    ring_gap = disc_layer(37.5, 37.5, 15.5, BACK_LEFT)
    name_x = 70
    light, x = text_segments('Velmora ', name_x, baseline, unit)
    bold, name_end = text_segments('Sondrel', x, baseline, unit)
    tag, _ = text_segments('sound recorder', name_x + 1, 64, 0.95)
    layers = [
        level_bars_layer(name_end + 20, WIDTH - 12, 37.5, WAVE),
        ring, ring_gap, dot,
        stroke_layer(light, 1.2, NAME_LIGHT),
        stroke_layer(bold, 1.9, NAME_BOLD),
        stroke_layer(tag, 0.7, TAGLINE),
    ]
    return compose(WIDTH, HEIGHT, background, layers)


def compose(width, height, background, layers):
    """Rows of RGB pixels: the background at each pixel centre with the layers over it."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            c = background(x + 0.5, y + 0.5)
            for layer in layers:
                a, colour = layer(x + 0.5, y + 0.5)
                c = [c[i] * (1 - a) + colour[i] * a for i in range(3)]
            row.append(c)
        rows.append(row)
    return rows


def write_bmp(path, rows):
    """A bottom-up 24-bit BMP with rows padded to four bytes."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes(round(max(0.0, min(1.0, v)) * 255) for v in (b, g, r))
        body += line + bytes(stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(body), 0, 0, 14 + len(info))
    Path(path).write_bytes(header + info + bytes(body))


if __name__ == '__main__':
    out = Path(sys.argv[1] if len(sys.argv) > 1 else 'res/banner.bmp')
    write_bmp(out, draw())
    print(out)
