#!/usr/bin/env python3
"""Draws the picture in the audio settings dialog's MP3 encoder group as a 24-bit BMP:
  python3 scripts/draw_encoder_picture.py res/encoder.bmp

The picture is 77 x 98 pixels, the size of its 51 x 60 dialog-unit frame at the usual 96-dpi
dialog font. A sound wave comes in at the top and leaves as the level bars of the banner
below, on the banner's colours, so the two images read as one family.
"""
import math
import sys
from pathlib import Path

from draw_banner import BACK_LEFT, BACK_RIGHT, WAVE, RED, compose, disc_layer, segment_distance, write_bmp

WIDTH, HEIGHT = 77, 98


def background(x, y):
    """The banner's dark blue to teal, running from top to bottom here."""
    t = min(1.0, max(0.0, y / HEIGHT * 0.8 + x / WIDTH * 0.2))
    return [BACK_LEFT[i] + (BACK_RIGHT[i] - BACK_LEFT[i]) * t for i in range(3)]


def wave_layer(x0, x1, centre, amplitude, colour):
    """A sine wave, three periods long, as a smooth stroke."""
    points = [(x, centre - amplitude * math.sin((x - x0) / (x1 - x0) * 6 * math.pi))
              for x in [x0 + (x1 - x0) * i / 120 for i in range(121)]]
    segments = [a + b for a, b in zip(points, points[1:])]

    def shade(px, py):
        if abs(py - centre) > amplitude + 3:
            return 0.0, colour
        d = min((segment_distance(px, py, *s) for s in segments if abs(s[0] - px) < 3), default=9.0)
        return max(0.0, min(1.0, 1.4 - d + 0.5)), colour
    return shade


def arrow_layer(cx, top, bottom, colour):
    """A downward arrow: a shaft and two barbs."""
    segments = [(cx, top, cx, bottom), (cx - 6, bottom - 6, cx, bottom), (cx + 6, bottom - 6, cx, bottom)]

    def shade(px, py):
        d = min(segment_distance(px, py, *s) for s in segments)
        return max(0.0, min(1.0, 1.3 - d + 0.5)), colour
    return shade


def bars_layer(x0, x1, base, colour):
    """Level bars rising from a base line, the shape of the wave's loudness."""
    bars = [(x, 6 + 16 * abs(math.sin((x - x0) * 0.19 + 0.4))) for x in range(x0, x1 + 1, 6)]

    def shade(px, py):
        for bx, h in bars:
            if abs(px - bx) < 3:
                d = segment_distance(px, py, bx, base - h, bx, base)
                return max(0.0, min(1.0, 1.6 - d + 0.5)), colour
        return 0.0, colour
    return shade


def draw():
    layers = [
        wave_layer(10, WIDTH - 10, 22, 11, WAVE),
        arrow_layer(WIDTH / 2, 41, 58, (0.72, 0.83, 0.90)),
        bars_layer(12, WIDTH - 12, 88, WAVE),
        disc_layer(WIDTH - 9, 9, 4, RED),
    ]
    return compose(WIDTH, HEIGHT, background, layers)


if __name__ == '__main__':
    out = Path(sys.argv[1] if len(sys.argv) > 1 else 'res/encoder.bmp')
    write_bmp(out, draw())
    print(out)
