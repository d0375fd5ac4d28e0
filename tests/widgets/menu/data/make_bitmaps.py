#!/usr/bin/env python3
"""Writes the toolbar bitmaps of the menu image tests.

toolbar16.bmp: 16 colours, three 16 x 15 button images side by side. Each is light grey with a
filled square (red, green, blue) at x 4..11, y 3..10, a black line at y 12 (x 2..13), a white
pixel at (2, 2) and a dark grey one at (13, 2): the four standard button colours.

toolbar20.bmp: true colour, two 20 x 20 images: light grey with a square (magenta, cyan) at x
5..14, y 5..14 and a dark grey pixel at (1, 1).
"""
import struct

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def write(name, width, height, bits, palette, rows):
    stride = (width * bits + 31) // 32 * 4
    pixels = b""
    for row in reversed(rows):  # bottom up
        if bits == 4:
            data = bytes((row[i] << 4) | row[i + 1] for i in range(0, width, 2))
        else:
            data = b"".join(bytes((b, g, r)) for (r, g, b) in row)
        pixels += data + b"\0" * (stride - len(data))
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                         0, 0)
    offset = 14 + len(header) + len(table)
    with open(name, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset))
        f.write(header + table + pixels)


rows = []
for y in range(15):
    row = []
    for k, square in enumerate((9, 10, 12)):
        for x in range(16):
            c = 7
            if 4 <= x <= 11 and 3 <= y <= 10:
                c = square
            elif y == 12 and 2 <= x <= 13:
                c = 0
            elif (x, y) == (2, 2):
                c = 15
            elif (x, y) == (13, 2):
                c = 8
            row.append(c)
    rows.append(row)
write("toolbar16.bmp", 48, 15, 4, VGA, rows)

rows = []
for y in range(20):
    row = []
    for square in ((255, 0, 255), (0, 255, 255)):
        for x in range(20):
            c = (192, 192, 192)
            if 5 <= x <= 14 and 5 <= y <= 14:
                c = square
            elif (x, y) == (1, 1):
                c = (128, 128, 128)
            row.append(c)
    rows.append(row)
write("toolbar20.bmp", 40, 20, 24, [], rows)
