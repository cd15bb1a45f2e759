#!/usr/bin/env python3
"""Draws the program's icon (a folder with a green arrow coming out of a box)
as 32x32 and 16x16 images in 16 colours and writes them as one .ico file."""
import struct
import sys

# The standard 16-colour palette (BGR0 in the file).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_YELLOW, GREEN, GREY, DARK_GREY, YELLOW, WHITE, DARK_GREEN = 0, 3, 10, 7, 8, 11, 15, 2


def draw(size):
    """Returns rows of palette indices (None = transparent), top row first."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    # The box (the archive): grey with a dark outline.
    rect(3, 14, 21, 30, DARK_GREY)
    rect(4, 15, 20, 29, GREY)
    rect(4, 19, 20, 20, DARK_GREY)
    # The folder it unpacks into: yellow with a tab.
    rect(13, 6, 20, 9, DARK_YELLOW)
    rect(13, 8, 30, 22, DARK_YELLOW)
    rect(14, 9, 29, 21, YELLOW)
    rect(14, 12, 29, 13, WHITE)
    # The arrow from the box into the folder.
    rect(8, 7, 12, 16, DARK_GREEN)
    rect(9, 7, 11, 16, GREEN)
    for i in range(4):
        rect(9 - i, 3 + i, 11 + i, 4 + i, DARK_GREEN if i == 3 else GREEN)
    return px


def image(size):
    px = draw(size)
    row_bytes = ((size * 4 + 31) // 32) * 4
    mask_bytes = ((size + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         (row_bytes + mask_bytes) * size, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b''
    mask = b''
    for row in reversed(px):  # bottom-up
        line = bytearray(row_bytes)
        bits = bytearray(mask_bytes)
        for x, c in enumerate(row):
            value = 0 if c is None else c
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += bytes(line)
        mask += bytes(bits)
    return header + palette + xor + mask


def main(path):
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1])
