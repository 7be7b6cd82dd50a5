#!/usr/bin/env python3
"""Writes the extended library's pictures (run once; the outputs are committed).

FEDITBMP.bmp  15 x 12, one glyph: a small open folder.
DEDITBMP.bmp  30 x 13, two glyphs (normal, disabled): a calendar page.
CHECK_IMAGES.bmp  78 x 39, a grid of 6 x 3 cells of 13 x 13: rows check box,
              radio button, check mark; columns unchecked, checked, grayed,
              then the same three disabled.
PREV2.bmp, PREV1.bmp, NEXT1.bmp, NEXT2.bmp  10 x 7 each: the calendar's
              previous year, previous month, next month and next year arrows
              (two arrowheads for a year, one for a month).
EXT_HANDCUR.cur, EXT_DRAGCUR.cur  32 x 32 monochrome cursors.
Fuchsia (255, 0, 255) is the glyphs' transparent colour.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
FUCHSIA, OLIVE, YELLOW = (255, 0, 255), (128, 128, 0), (255, 255, 0)
BLACK, GRAY = (0, 0, 0), (128, 128, 128)
WHITE, SILVER = (255, 255, 255), (192, 192, 192)


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


CELL = 13
# The check, centred in a 9 x 9 well: seven columns, three pixels tall
# each, lowest at the third.
MARK = [(x + 1, y) for x, top in enumerate((3, 4, 5, 4, 3, 2, 1)) for y in range(top, top + 3)]


def put(px, ox, oy, points, c, dx=0, dy=0):
    for x, y in points:
        px[oy + y + dy][ox + x + dx] = c


def checker(px, l, t, r, b, c1, c2):
    for y in range(t, b):
        for x in range(l, r):
            px[y][x] = c1 if (x + y) % 2 == 0 else c2


def check_box(px, ox, oy, state, enabled):
    """A sunken square: shadow and dark lines at the top and left, light and
    highlight ones at the bottom and right, a 9 x 9 well."""
    for i in range(CELL):
        px[oy][ox + i] = px[oy + i][ox] = GRAY
        px[oy + CELL - 1][ox + i] = px[oy + i][ox + CELL - 1] = WHITE
    for i in range(1, CELL - 1):
        px[oy + 1][ox + i] = px[oy + i][ox + 1] = BLACK
        px[oy + CELL - 2][ox + i] = px[oy + i][ox + CELL - 2] = SILVER
    px[oy + CELL - 1][ox] = px[oy][ox + CELL - 1] = WHITE
    px[oy + CELL - 2][ox + 1] = px[oy + 1][ox + CELL - 2] = SILVER
    well = (ox + 2, oy + 2, ox + CELL - 2, oy + CELL - 2)
    if state == 2 and enabled:
        checker(px, *well, WHITE, SILVER)
    else:
        fill(px, *well, WHITE if enabled else SILVER)
    if state == 1:
        put(px, ox + 2, oy + 2, MARK, BLACK if enabled else GRAY)
    elif state == 2:
        if enabled:
            put(px, ox + 2, oy + 2, MARK, GRAY)
        else:
            put(px, ox + 2, oy + 2, [(x, y) for x, y in MARK if (x + y) % 2 == 0], GRAY)


def disk(radius):
    c = CELL // 2
    return {(x, y) for y in range(CELL) for x in range(CELL) if (x - c) ** 2 + (y - c) ** 2 <= radius ** 2}


def inner(points):
    return {(x, y) for x, y in points
            if all(p in points for p in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)))}


def radio_button(px, ox, oy, state, enabled):
    """A sunken circle: two rings, dark towards the top left, light towards
    the bottom right, round a white well with a dot when checked."""
    outer = disk(6.4)
    middle = inner(outer)
    well = inner(middle)
    for ring, dark, light in ((outer - middle, GRAY, WHITE), (middle - well, BLACK, SILVER)):
        for x, y in ring:
            towards_top_left = x + y < CELL - 1 or (x + y == CELL - 1 and y < x)
            px[oy + y][ox + x] = dark if towards_top_left else light
    for x, y in well:
        if state == 2 and enabled:
            px[oy + y][ox + x] = WHITE if (x + y) % 2 == 0 else SILVER
        else:
            px[oy + y][ox + x] = WHITE if enabled else SILVER
    if state != 0:
        put(px, ox, oy, disk(2.3), BLACK if enabled and state == 1 else GRAY)


def check_mark(px, ox, oy, state, enabled):
    """The check alone; disabled ones engraved (a highlight copy one pixel
    down and right under the gray one)."""
    if state == 0:
        return
    if enabled:
        put(px, ox + 2, oy + 2, MARK, BLACK if state == 1 else GRAY)
    else:
        put(px, ox + 2, oy + 2, MARK, WHITE, 1, 1)
        put(px, ox + 2, oy + 2, MARK, GRAY if state == 1 else SILVER)


def check_images():
    px = canvas(6 * CELL, 3 * CELL, FUCHSIA)
    for row, draw in enumerate((check_box, radio_button, check_mark)):
        for col in range(6):
            draw(px, col * CELL, row * CELL, col % 3, col < 3)
    return px


def arrows(left, double):
    """Arrowheads 4 wide and 7 tall: one centred, or two side by side."""
    px = canvas(10, 7, FUCHSIA)
    starts = (0, 5) if double else (3,)
    for x0 in starts:
        for i in range(4):
            x = x0 + 3 - i if left else x0 + i
            for y in range(3 - i, 4 + i):
                px[y][x] = BLACK
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
    write_bmp('CHECK_IMAGES.bmp', check_images())
    write_bmp('PREV2.bmp', arrows(True, True))
    write_bmp('PREV1.bmp', arrows(True, False))
    write_bmp('NEXT1.bmp', arrows(False, False))
    write_bmp('NEXT2.bmp', arrows(False, True))
    write_cur('EXT_HANDCUR.cur', HAND + ['.' * 32] * 16, (5, 0))
    write_cur('EXT_DRAGCUR.cur', DRAG, (0, 0))
