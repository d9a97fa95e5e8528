#!/usr/bin/env python3
"""
+----------------------------------------------------------------------------+
| make_logo.py — draws launcher.png, the mark shown in the window's header   |
|                                                                            |
| A red "V" with a white racing stripe on a transparent background, 128×128, |
| anti-aliased by 4×4 supersampling. Standard library only (zlib, struct):   |
|   python3 make_logo.py [output.png]                                        |
+----------------------------------------------------------------------------+
"""

import os
import struct
import sys
import zlib

SIZE = 128
SAMPLES = 4
RED = (229, 32, 46)
WHITE = (255, 255, 255)

# Shapes in drawing order, in 128-unit coordinates (x right, y down).
V_MARK = [(8, 16), (44, 16), (64, 72), (84, 16), (120, 16), (81, 112), (47, 112)]
STRIPE = [(24, 16), (32, 16), (57, 86), (53, 97)]
SHAPES = [(RED, V_MARK), (WHITE, STRIPE)]


def inside(x, y, poly):
    """Even-odd rule: does the point lie inside the polygon?"""
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def render():
    pixels = bytearray()
    step = 1.0 / SAMPLES
    for py in range(SIZE):
        pixels.append(0)        # filter type "none" for this row
        for px in range(SIZE):
            counts = [0] * len(SHAPES)
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) * step
                    y = py + (sy + 0.5) * step
                    # The topmost shape that covers the sample wins it.
                    for k in range(len(SHAPES) - 1, -1, -1):
                        if inside(x, y, SHAPES[k][1]):
                            counts[k] += 1
                            break
            total = SAMPLES * SAMPLES
            covered = sum(counts)
            if not covered:
                pixels += b"\0\0\0\0"
                continue
            # Colour is the coverage-weighted mean; alpha is the coverage.
            rgb = [round(sum(counts[k] * SHAPES[k][0][c] for k in range(len(SHAPES))) / covered)
                   for c in range(3)]
            pixels += bytes(rgb + [round(255 * covered / total)])
    return bytes(pixels)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, rgba_rows):
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)   # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rgba_rows, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "launcher.png")
    with open(out, "wb") as f:
        f.write(png(SIZE, SIZE, render()))
    print("wrote " + out)


if __name__ == "__main__":
    main()
