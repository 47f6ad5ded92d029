#!/usr/bin/env python3
"""Draws the Tonguemeter emblem and writes res/icon/Tonguemeter.ico.

The emblem is a blue speech bubble holding a white gauge with an amber needle. It is drawn from
signed distance functions with 8 x 8 samples per pixel, reduced to a fixed palette and written as a
classic icon: 16 x 16 with 16 colours, 32 x 32 and 48 x 48 with 256 colours, each with a 1-bit
transparency mask. Standard library only; the output is byte for byte the same on every run.

Usage: scripts/make-icon.py [output.ico] [--png-dir DIR]   (--png-dir also writes preview PNGs)
"""
import math
import os
import struct
import sys
import zlib

BUBBLE = (0x25, 0x63, 0xC9)
OUTLINE = (0x14, 0x36, 0x75)
GAUGE = (0xFF, 0xFF, 0xFF)
NEEDLE = (0xF2, 0xA0, 0x16)
KEYS = [OUTLINE, BUBBLE, GAUGE, NEEDLE]
SUPER = 8


# --- shapes, in units of the icon's width (0..1, y downwards) --------------------------------------

def sd_round_rect(x, y, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    return outside + min(max(dx, dy), 0.0) - r


def sd_segment(x, y, ax, ay, bx, by):
    px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
    t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - vx * t, py - vy * t)


def sd_triangle(x, y, pts):
    d = min(sd_segment(x, y, *pts[i], *pts[(i + 1) % 3]) for i in range(3))
    inside = True
    sign = None
    for i in range(3):
        (ax, ay), (bx, by) = pts[i], pts[(i + 1) % 3]
        cross = (bx - ax) * (y - ay) - (by - ay) * (x - ax)
        s = cross >= 0
        if sign is None:
            sign = s
        elif s != sign:
            inside = False
    return -d if inside else d


TAIL = [(0.20, 0.66), (0.44, 0.66), (0.12, 0.95)]
CENTRE = (0.5, 0.60)
NEEDLE_ANGLE = math.radians(-48)  # up and to the right


def colour_at(x, y, px):
    """Colour of the topmost shape at (x, y), or None; px is one pixel in icon units."""
    bubble = min(sd_round_rect(x, y, 0.04, 0.06, 0.96, 0.76, 0.20), sd_triangle(x, y, TAIL))
    if bubble > 0:
        return None
    cx, cy = CENTRE
    r = math.hypot(x - cx, y - cy)
    ring = max(px * 1.6, 0.085)
    # The gauge: the upper half of a ring, with a needle and its hub.
    tip = (cx + 0.30 * math.cos(NEEDLE_ANGLE), cy + 0.30 * math.sin(NEEDLE_ANGLE))
    if sd_segment(x, y, cx, cy, *tip) <= max(px * 0.8, 0.035) or r <= max(px * 1.3, 0.075):
        return NEEDLE
    if y <= cy + px * 0.3 and 0.36 - ring <= r <= 0.36:
        return GAUGE
    if bubble > -max(px, 0.03):
        return OUTLINE
    return BUBBLE


def render(size):
    """Rows of (r, g, b) or None for a transparent pixel."""
    px = 1.0 / size
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            hits = []
            for sj in range(SUPER):
                for si in range(SUPER):
                    c = colour_at((i + (si + 0.5) / SUPER) * px, (j + (sj + 0.5) / SUPER) * px, px)
                    if c is not None:
                        hits.append(c)
            if len(hits) * 2 < SUPER * SUPER:
                row.append(None)
            else:
                row.append(tuple(round(sum(c[k] for c in hits) / len(hits)) for k in range(3)))
        rows.append(row)
    return rows


# --- palettes and the icon file ----------------------------------------------------------------------

def mix(a, b, t):
    return tuple(round(a[k] + (b[k] - a[k]) * t) for k in range(3))


def palette(colours):
    """Key colours first, then blends of every pair of keys, padded with black."""
    pal = [(0, 0, 0)] + list(KEYS)
    steps = 2 if colours == 16 else 24
    for a in range(len(KEYS)):
        for b in range(a + 1, len(KEYS)):
            for s in range(1, steps):
                c = mix(KEYS[a], KEYS[b], s / steps)
                if c not in pal and len(pal) < colours:
                    pal.append(c)
    return pal + [(0, 0, 0)] * (colours - len(pal))


def nearest(pal, c):
    return min(range(1, len(pal)), key=lambda k: sum((pal[k][i] - c[i]) ** 2 for i in range(3)))


def dib(rows, bits):
    size = len(rows)
    pal = palette(1 << bits)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    colour_table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in pal)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        indices = [0 if c is None else nearest(pal, c) for c in row]
        if bits == 4:
            line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        else:
            line = bytes(indices)
        xor += line + b'\0' * (-len(line) % 4)
        m = bytearray((size + 7) // 8)
        for i, c in enumerate(row):
            if c is None:
                m[i // 8] |= 0x80 >> (i % 8)
        mask += m + b'\0' * (-len(m) % 4)
    return header + colour_table + bytes(xor) + bytes(mask)


def write_ico(path, images):
    """images: list of (size, bits, dib bytes)."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16 if bits == 4 else 0, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    out += b''.join(data for _, _, data in images)
    with open(path, 'wb') as f:
        f.write(out)


def write_png(path, rows, scale=8):
    """A magnified preview, transparent pixels shown light grey."""
    size = len(rows)
    raw = bytearray()
    for row in rows:
        line = bytearray()
        for c in row:
            line += bytes(c if c is not None else (0xDD, 0xDD, 0xDD)) * scale
        raw += (b'\0' + bytes(line)) * scale
    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data))
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size * scale, size * scale,
                                                             8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(png)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, '..', 'res', 'icon', 'Tonguemeter.ico')
    png_dir = None
    args = list(argv)
    if '--png-dir' in args:
        k = args.index('--png-dir')
        png_dir = args[k + 1]
        del args[k:k + 2]
    if args:
        out = args[0]
    images = []
    for size, bits in ((16, 4), (32, 8), (48, 8)):
        rows = render(size)
        images.append((size, bits, dib(rows, bits)))
        if png_dir:
            write_png(os.path.join(png_dir, 'icon-%d.png' % size), rows)
    write_ico(out, images)
    print(out)


if __name__ == '__main__':
    main(sys.argv[1:])
