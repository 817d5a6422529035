#!/usr/bin/env python3
"""Writes the updater's icon: 32 x 32 and 16 x 16 images in 16 colours.

The picture (a board with a down arrow, for firmware going in) is drawn from
a few rectangles, so the icon is built from source like everything else.
"""
import struct
import sys

# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREEN, GREY, YELLOW, WHITE, BLUE = 0, 2, 8, 11, 15, 12


def picture(size):
    """Rows top to bottom of palette indexes, None for transparent."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    rect(3, 14, 29, 30, BLACK)        # board outline
    rect(4, 15, 28, 29, DARK_GREEN)   # board
    rect(9, 19, 23, 26, GREY)         # chip
    for x in range(6, 27, 4):
        rect(x, 29, x + 2, 31, YELLOW)  # pins
    rect(13, 1, 19, 10, BLUE)          # arrow shaft
    for i in range(6):
        rect(8 + i, 9 + i, 24 - i, 10 + i, BLUE)  # arrow head
    return px


def image(size):
    rows = picture(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps run bottom to top
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            value = colour if colour is not None else 0
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if colour is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def main():
    if len(sys.argv) != 2:
        print('usage: make_icon.py OUT.ico', file=sys.stderr)
        return 2
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], 'wb') as f:
        f.write(out + b''.join(images))
    return 0


if __name__ == '__main__':
    sys.exit(main())
