#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""Draws the larger theme icons, dist/icons/rotavel-motion-SIZE.png, and the page's app icons,
web/icons/rotavel-motion-SIZE.png, from the window icon's own shapes (tools/assets/make_icon.py), so
every icon is the same picture as the 32 pixel one. Where the window icon keeps to 16 colours and
hard edges, these are full-colour with smooth edges: each pixel's colour is the coverage-weighted
blend of the shapes over it. The maskable app icon, which a phone may cut to any shape, is the rotor
inside the central circle it promises to keep, on a square of the drawing area's blue.

Run once when the icon should change: python3 dist/make_icons.py
Needs only the standard library.
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "assets"))
import make_icon  # noqa: E402  (the window icon's design: shapes, palette, grid size)

SIZES = (128, 256)
WEB_SIZES = (192, 512)
MASKABLE_SIZE = 512
# A maskable icon's shape may cut everything outside the circle of 40 % of its side about its
# centre: the rotor's disc is drawn just inside it.
MASKABLE_FILL = 0.78
SUB = 4  # subsamples per pixel along each axis


def render(size, fill=1.0, background=None):
    """Rows of (r, g, b, a) bytes: every shape painted over the ones before, as the window icon does,
    the icon's square taking `fill` of the side about the centre; what the shapes leave uncovered
    is transparent, or the colour `background`."""
    layers = make_icon.shapes()
    palette = make_icon.PALETTE
    scale = make_icon.SIZE / (size * fill)
    origin = make_icon.SIZE / 2 - size * scale / 2
    offsets = [(i + 0.5) / SUB for i in range(SUB)]
    rows = []
    for row in range(size):
        out = bytearray()
        for col in range(size):
            r = g = b = a = 0.0
            for sy in offsets:
                for sx in offsets:
                    x, y = origin + (col + sx) * scale, origin + (row + sy) * scale
                    top = None
                    for colour, inside in layers:
                        if inside(x, y):
                            top = colour
                    if top is not None:
                        cr, cg, cb = palette[top]
                        r, g, b, a = r + cr, g + cg, b + cb, a + 1
            n = SUB * SUB
            if background is not None:
                r, g, b = (c + bc * (n - a) for c, bc in zip((r, g, b), background))
                out += bytes((round(r / n), round(g / n), round(b / n), 255))
            elif a:
                # Straight (not premultiplied) alpha: the colour of what is covered, the share covered.
                out += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                out += b"\0\0\0\0"
        rows.append(bytes(out))
    return rows


def write_png(path, size, rows):
    raw = b"".join(b"\0" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += make_icon.chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += make_icon.chunk(b"IDAT", zlib.compress(raw, 9))
    png += make_icon.chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    web = os.path.join(HERE, "..", "web", "icons")
    for size in SIZES:
        write_png(os.path.join(HERE, "icons", f"rotavel-motion-{size}.png"), size, render(size))
    for size in WEB_SIZES:
        write_png(os.path.join(web, f"rotavel-motion-{size}.png"), size, render(size))
    blue = make_icon.PALETTE[make_icon.BLUE]
    write_png(os.path.join(web, f"rotavel-motion-maskable-{MASKABLE_SIZE}.png"), MASKABLE_SIZE,
              render(MASKABLE_SIZE, MASKABLE_FILL, blue))
