#!/usr/bin/env python3
"""Draws the two program icons: an EPROM chip whose quartz window shows a
drum hit, a sine that dies away.

    make_icons.py OUTDIR

writes OUTDIR/quorix32.ico (32 x 32, 256-colour palette, with mask) and
OUTDIR/quorix64.ico (64 x 64, 16-colour palette, with mask). The picture is
described in unit coordinates and sampled 4 x 4 times per pixel, so both sizes
come from the same drawing. Only the standard library is used, and the output
is the same byte for byte on every run.
"""

import math
import os
import struct
import sys

BODY = (46, 46, 54)
RIM = (112, 112, 122)
PIN = (200, 200, 206)
QUARTZ = (36, 56, 150)
QUARTZ_RIM = (150, 150, 168)
TRACE = (80, 255, 80)
DOT = (240, 240, 240)

BODY_LEFT, BODY_RIGHT, BODY_TOP, BODY_BOTTOM = 0.22, 0.78, 0.05, 0.95
WIN_LEFT, WIN_RIGHT, WIN_TOP, WIN_BOTTOM = 0.31, 0.69, 0.29, 0.71


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def drum_hit(t):
    """The waveform drawn in the window, t from 0 to 1: a decaying sine."""
    return 0.16 * math.exp(-3.2 * t) * math.sin(2 * math.pi * 3.5 * t)


def trace_distance(x, y):
    """Distance from (x, y) to the waveform, taken across its slope."""
    t = (x - (WIN_LEFT + 0.02)) / (WIN_RIGHT - WIN_LEFT - 0.04)
    if not 0.0 <= t <= 1.0:
        return 1.0
    h = 1e-4
    f = 0.5 - drum_hit(t)
    slope = -(drum_hit(t + h) - drum_hit(t - h)) / (2 * h) / (WIN_RIGHT - WIN_LEFT - 0.04)
    return abs(y - f) / math.sqrt(1 + slope * slope)


def pin_at(x, y, pins):
    if not (0.07 <= x <= BODY_LEFT or BODY_RIGHT <= x <= 0.93):
        return False
    pitch = (BODY_BOTTOM - BODY_TOP - 0.10) / pins
    k = math.floor((y - BODY_TOP - 0.05) / pitch)
    if k < 0 or k >= pins:
        return False
    centre = BODY_TOP + 0.05 + (k + 0.5) * pitch
    return abs(y - centre) <= pitch * 0.28


def colour_at(x, y, size):
    """The colour at unit coordinates (x, y), or None where it is clear."""
    pins = 7 if size <= 32 else 10
    in_body = inside_rounded(x, y, BODY_LEFT, BODY_TOP, BODY_RIGHT, BODY_BOTTOM, 0.04)
    notch = (x - 0.5) ** 2 + (y - BODY_TOP) ** 2 <= 0.075 ** 2
    if in_body and not notch:
        if inside_rounded(x, y, WIN_LEFT, WIN_TOP, WIN_RIGHT, WIN_BOTTOM, 0.05):
            if trace_distance(x, y) <= 0.028:
                return TRACE
            if not inside_rounded(x, y, WIN_LEFT + 0.025, WIN_TOP + 0.025,
                                  WIN_RIGHT - 0.025, WIN_BOTTOM - 0.025, 0.04):
                return QUARTZ_RIM
            return QUARTZ
        if (x - 0.31) ** 2 + (y - 0.15) ** 2 <= 0.035 ** 2:
            return DOT
        if not inside_rounded(x, y, BODY_LEFT + 0.03, BODY_TOP + 0.03,
                              BODY_RIGHT - 0.03, BODY_BOTTOM - 0.03, 0.03):
            return RIM
        return BODY
    if pin_at(x, y, pins):
        return PIN
    return None


def render(size):
    """Rows of (colour or None), top row first."""
    n = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            covered = []
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, size)
                    if c is not None:
                        covered.append(c)
            if len(covered) * 2 < n * n:
                row.append(None)
            else:
                row.append(tuple(sum(c[i] for c in covered) // len(covered) for i in range(3)))
        rows.append(row)
    return rows


def vga_palette():
    return [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
            (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
            (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def cube_palette():
    """Black, the 6 x 6 x 6 colour cube, then greys up to 256 entries."""
    levels = [0, 51, 102, 153, 204, 255]
    pal = [(0, 0, 0)]
    pal += [(r, g, b) for r in levels for g in levels for b in levels if (r, g, b) != (0, 0, 0)]
    grey = 8
    while len(pal) < 256:
        pal.append((grey, grey, grey))
        grey += 6
    return pal


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def ico(size, bpp, palette):
    rows = render(size)
    xor_rows, and_rows = [], []
    for row in reversed(rows):  # bitmaps are stored bottom row first
        indices = [0 if c is None else nearest(palette, c) for c in row]
        if bpp == 8:
            packed = bytes(indices)
        else:
            packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        xor_rows.append(padded(packed))
        bits = bytearray((size + 7) // 8)
        for i, c in enumerate(row):
            if c is None:  # 1 in the mask: the screen shows through
                bits[i // 8] |= 0x80 >> (i % 8)
        and_rows.append(padded(bytes(bits)))
    xor = b"".join(xor_rows)
    mask = b"".join(and_rows)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + colours + xor + mask
    colour_count = len(palette) if len(palette) < 256 else 0
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bpp, len(image), 6 + 16)
    return icondir + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icons.py OUTDIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, size, bpp, palette in (("quorix32.ico", 32, 8, cube_palette()),
                                     ("quorix64.ico", 64, 4, vga_palette())):
        data = ico(size, bpp, palette)
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
