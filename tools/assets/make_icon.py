#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""Draws the window icon, assets/rotor_icon.png: a 32 x 32, 16-colour picture of a three-vane rotor
(hub, pivot circles, half-rate blades) on the drawing area's blue, written as a 4-bit palette PNG
with colour 0 transparent.

Run once when the icon should change: python3 tools/assets/make_icon.py assets/rotor_icon.png
Needs only the standard library.
"""
import math
import struct
import sys
import zlib

SIZE = 32
SUB = 4  # subsamples per pixel along each axis

# Sixteen colours; 0 is transparent. Only a few are used, the rest keep the table at 16 entries.
PALETTE = [
    (0, 0, 0), (0, 0, 0), (0, 0, 192), (255, 255, 255),
    (0, 255, 0), (0, 128, 0), (224, 224, 224), (128, 128, 128),
    (125, 245, 251), (0, 0, 128), (192, 192, 192), (255, 0, 0),
    (255, 255, 0), (0, 255, 255), (255, 0, 255), (128, 0, 0),
]
TRANSPARENT, BLACK, BLUE, WHITE, GREEN = 0, 1, 2, 3, 4


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def shapes():
    """(colour, inside(x, y)) in painting order, in pixel units with the centre at 16, 16."""
    cx = cy = 16.0
    out = [
        (BLACK, lambda x, y: math.hypot(x - cx, y - cy) <= 15.9),
        (BLUE, lambda x, y: math.hypot(x - cx, y - cy) <= 14.8),
    ]
    angle = -0.45
    n = 3
    pivots = []
    for i in range(n):
        theta = angle + 2 * math.pi * i / n
        px, py = cx + 9.0 * math.cos(theta), cy + 9.0 * math.sin(theta)
        pivots.append((px, py, theta))
    for px, py, theta in pivots:
        bx, by = 5.5 * math.cos(theta / 2), 5.5 * math.sin(theta / 2)
        out.append((GREEN, lambda x, y, p=(px + bx, py + by, px - bx, py - by): seg_dist(x, y, *p) <= 1.0))
        out.append((WHITE, lambda x, y, p=(px, py): abs(math.hypot(x - p[0], y - p[1]) - 2.8) <= 0.5))
    out.append((WHITE, lambda x, y: abs(math.hypot(x - cx, y - cy) - 2.2) <= 0.5))
    out.append((WHITE, lambda x, y: abs(y - cy) <= 0.5 and abs(x - cx) <= 2.2))
    return out


def render():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    layers = shapes()
    for row in range(SIZE):
        for col in range(SIZE):
            samples = [(col + (i + 0.5) / SUB, row + (j + 0.5) / SUB)
                       for i in range(SUB) for j in range(SUB)]
            for colour, inside in layers:
                if sum(inside(x, y) for x, y in samples) * 2 >= len(samples):
                    pixels[row][col] = colour
    return pixels


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, pixels):
    raw = b""
    for row in pixels:
        raw += b"\0" + bytes((row[i] << 4) | row[i + 1] for i in range(0, SIZE, 2))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
    png += chunk(b"tRNS", b"\0")
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    write_png(sys.argv[1] if len(sys.argv) > 1 else "assets/rotor_icon.png", render())
