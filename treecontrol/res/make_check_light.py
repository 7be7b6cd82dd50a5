#!/usr/bin/env python3
"""Draws check_light.bmp: the tree's built-in check pictures.

144 x 16 pixels, 16 colours, nine 16 x 16 pictures from left to right:
blank, box empty, box marked, grey box empty, grey box marked, radio off,
radio on, grey radio off, grey radio on. Palette entries 7 and 8 stand for
the button shadow and button face colours (replaced when loaded); the
top-left pixel's colour (magenta) is the transparent colour.

Usage: make_check_light.py [output.bmp]
"""
import struct
import sys

PALETTE = [  # (r, g, b), the usual 16-colour order
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, SHADOW, FACE, WHITE, CLEAR = 0, 7, 8, 15, 13
W, H, N = 144, 16, 9


def blank():
    return [[CLEAR] * 16 for _ in range(16)]


def box(fill, mark):
    p = blank()
    for y in range(2, 15):
        for x in range(2, 15):
            edge = x in (2, 14) or y in (2, 14)
            p[y][x] = SHADOW if edge else fill
    if mark is not None:
        # A tick: down from (5,8) to (7,10), then up to (11,6), 3 pixels thick.
        pts = [(5, 8), (6, 9), (7, 10), (8, 9), (9, 8), (10, 7), (11, 6)]
        for x, y in pts:
            for dy in range(3):
                p[y + dy - 1][x] = mark
    return p


def radio(fill, dot):
    p = blank()
    cx = cy = 8.0
    for y in range(16):
        for x in range(16):
            d2 = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
            if d2 <= 6.5 ** 2:
                p[y][x] = SHADOW if d2 > 5.4 ** 2 else fill
            if dot is not None and d2 <= 2.3 ** 2:
                p[y][x] = dot
    return p


PICTURES = [
    blank(),
    box(WHITE, None), box(WHITE, BLACK), box(FACE, None), box(FACE, SHADOW),
    radio(WHITE, None), radio(WHITE, BLACK), radio(FACE, None), radio(FACE, SHADOW),
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "check_light.bmp"
    stride = ((W * 4 + 31) // 32) * 4
    rows = []
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(0, W, 2):
            a = PICTURES[x // 16][y][x % 16]
            b = PICTURES[(x + 1) // 16][y][(x + 1) % 16]
            row.append((a << 4) | b)
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 0, len(bits), 2835, 2835, 16, 0)
    with open(out, "wb") as f:
        f.write(header + info + pal + bits)


if __name__ == "__main__":
    main()
