#!/usr/bin/env python3
"""Writes the extended library's pictures (run once; the outputs are committed).

FEDITBMP.bmp  15 x 12, one glyph: a small open folder.
DEDITBMP.bmp  30 x 13, two glyphs (normal, disabled): a calendar page.
EXT_HANDCUR.cur, EXT_DRAGCUR.cur  32 x 32 monochrome cursors.
Fuchsia (255, 0, 255) is the glyphs' transparent colour.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
FUCHSIA, OLIVE, YELLOW = (255, 0, 255), (128, 128, 0), (255, 255, 0)
BLACK, GRAY = (0, 0, 0), (128, 128, 128)


def canvas(w, h, c):
    return [[c] * w for _ in range(h)]


def fill(px, l, t, r, b, c):
    for y in range(t, b):
        for x in range(l, r):
            px[y][x] = c


def frame(px, l, t, r, b, c):
    for x in range(l, r):
        px[t][x] = px[b - 1][x] = c
    for y in range(t, b):
        px[y][l] = px[y][r - 1] = c


def write_bmp(name, px):
    h, w = len(px), len(px[0])
    stride = (w * 3 + 3) & ~3
    rows = b''
    for y in range(h - 1, -1, -1):
        row = b''.join(struct.pack('BBB', c[2], c[1], c[0]) for c in px[y])
        rows += row + b'\0' * (stride - len(row))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + info + rows)


def write_cur(name, shape, hotspot):
    """shape: 32 strings of 32 chars, '.' transparent, '#' black, 'o' white."""
    w = h = 32
    xor_rows, and_rows = b'', b''
    for y in range(h - 1, -1, -1):
        xb, ab = 0, 0
        for x in range(w):
            ch = shape[y][x] if x < len(shape[y]) else '.'
            xb = (xb << 1) | (ch == 'o')
            ab = (ab << 1) | (ch == '.')
        xor_rows += struct.pack('>I', xb)
        and_rows += struct.pack('>I', ab)
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 1, 0, len(xor_rows) + len(and_rows), 0, 0, 2, 0)
    palette = struct.pack('<BBBBBBBB', 0, 0, 0, 0, 255, 255, 255, 0)
    image = info + palette + xor_rows + and_rows
    head = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', w, h, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + entry + image)


def folder():
    px = canvas(15, 12, FUCHSIA)
    fill(px, 1, 1, 6, 3, OLIVE)
    fill(px, 1, 2, 13, 11, OLIVE)
    fill(px, 2, 5, 14, 11, YELLOW)
    return px


def calendar():
    px = canvas(30, 13, FUCHSIA)
    for g, ink in ((0, BLACK), (1, GRAY)):
        x = g * 15 + 1
        frame(px, x, 1, x + 13, 12, ink)
        fill(px, x, 1, x + 13, 4, ink)
        for row in range(3):
            for col in range(4):
                px[5 + row * 2][x + 2 + col * 3] = ink
    return px


HAND = [
    '.....##.........',
    '....#oo#........',
    '....#oo#........',
    '....#oo#........',
    '....#oo###......',
    '....#oo#oo###...',
    '....#oo#oo#oo##.',
    '.##.#oo#oo#oo#o#',
    '#oo##oooooooo#o#',
    '#ooo#oooooooooo#',
    '.#oooooooooooo#.',
    '..#ooooooooooo#.',
    '..#oooooooooo#..',
    '...#ooooooooo#..',
    '....#ooooooo#...',
    '....#########...',
]

DRAG = []
for y in range(32):
    row = ['.'] * 32
    if y < 12:
        for x in range(min(y // 2 + 2, 8)):
            row[x] = 'o' if (x != 0 and x != y // 2 + 1 and y != 11) else '#'
    if 14 <= y < 22:
        for x in range(8, 20):
            row[x] = '#' if (y in (14, 21) or x in (8, 19)) else 'o'
    DRAG.append(''.join(row))

if __name__ == '__main__':
    write_bmp('FEDITBMP.bmp', folder())
    write_bmp('DEDITBMP.bmp', calendar())
    write_cur('EXT_HANDCUR.cur', HAND + ['.' * 32] * 16, (5, 0))
    write_cur('EXT_DRAGCUR.cur', DRAG, (0, 0))
