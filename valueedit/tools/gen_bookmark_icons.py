#!/usr/bin/env python3
"""Draws the hex editor's bookmark icons: a 200 x 10 bitmap of twenty
10 x 10 images, 0-9 for bookmarks in the hex field (blue), 10-19 for the
same bookmarks in the character field (green). The top-left pixel is the
transparent colour (magenta). Writes BookmarkIcons.bmp beside this folder.
"""
import os
import struct

W, H = 200, 10
TRANSPARENT = (255, 0, 255)
WHITE = (255, 255, 255)
FIELD = [(0, 40, 160), (0, 128, 0)]  # RGB: blue, green
DIGITS = {  # 5 x 7 glyphs
    0: ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    1: ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    2: ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    3: ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    4: ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    5: ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    6: ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    7: ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    8: ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    9: ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
}


def pixels():
    img = [[TRANSPARENT for _ in range(W)] for _ in range(H)]
    for icon in range(20):
        x0 = icon * 10
        bg = FIELD[icon // 10]
        for y in range(10):
            for x in range(10):
                corner = (x in (0, 9)) and (y in (0, 9))
                if not corner:
                    img[y][x0 + x] = bg
        glyph = DIGITS[icon % 10]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":
                    img[1 + gy][x0 + 2 + gx] = WHITE
    return img


def write_bmp(path, img):
    row_size = (W * 3 + 3) & ~3
    data = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(W):
            r, g, b = img[y][x]
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_bmp(os.path.join(here, "..", "BookmarkIcons.bmp"), pixels())
