#!/usr/bin/env python3
"""Writes morvane.ico: a 32x32 and a 16x16 image, 8 bits per pixel, of a bracketed tag on a blue tile.

Run from anywhere: python3 tool/resources/make_icon.py [output]. The committed morvane.ico is its output;
the Windows test stage checks that they agree.
"""

import os
import struct
import sys

# Palette indices. Index 0 is the transparent background (masked out by the AND mask).
CLEAR, EDGE, FILL, LIGHT, WHITE, ORANGE = range(6)
PALETTE = {
    CLEAR: (0, 0, 0),
    EDGE: (0x1B, 0x3A, 0x6B),
    FILL: (0x2E, 0x6F, 0xC4),
    LIGHT: (0x5A, 0x93, 0xDB),
    WHITE: (0xFF, 0xFF, 0xFF),
    ORANGE: (0xF2, 0x99, 0x1E),
}

# Per size: tile corner radius, bracket boxes (x0, y0, x1, y1 inclusive) and the value bar between them.
LAYOUT = {
    32: {
        "radius": 5,
        "white": [
            (6, 7, 8, 24), (6, 7, 12, 9), (6, 22, 12, 24),  # [
            (23, 7, 25, 24), (19, 7, 25, 9), (19, 22, 25, 24),  # ]
        ],
        "orange": [(13, 14, 18, 17)],
        "light": [(3, 3, 28, 4)],
    },
    16: {
        "radius": 3,
        "white": [
            (3, 3, 4, 12), (3, 3, 6, 4), (3, 11, 6, 12),
            (11, 3, 12, 12), (9, 3, 12, 4), (9, 11, 12, 12),
        ],
        "orange": [(7, 7, 8, 8)],
        "light": [(2, 1, 13, 1)],
    },
}


def inside_tile(x, y, size, radius):
    """Whether (x, y) lies on the rounded tile that fills the image."""
    last = size - 1
    for cx, cy in ((radius, radius), (last - radius, radius), (radius, last - radius), (last - radius, last - radius)):
        in_corner_x = x < radius if cx == radius else x > last - radius
        in_corner_y = y < radius if cy == radius else y > last - radius
        if in_corner_x and in_corner_y:
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius + radius
    return True


def draw(size):
    """Rows of palette indices, top row first."""
    layout = LAYOUT[size]
    radius = layout["radius"]
    pixels = [[CLEAR] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if not inside_tile(x, y, size, radius):
                continue
            on_edge = any(not inside_tile(x + dx, y + dy, size, radius) or not (0 <= x + dx < size and 0 <= y + dy < size)
                          for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            pixels[y][x] = EDGE if on_edge else FILL
    for name, index in (("light", LIGHT), ("white", WHITE), ("orange", ORANGE)):
        for x0, y0, x1, y1 in layout[name]:
            for y in range(y0, y1 + 1):
                for x in range(x0, x1 + 1):
                    pixels[y][x] = index
    return pixels


def image(size):
    """One icon image: BITMAPINFOHEADER, 256-colour palette, XOR pixels and AND mask, rows bottom-up."""
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", *reversed(PALETTE.get(i, (0, 0, 0))), 0) for i in range(256))
    xor_stride = (size + 3) // 4 * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows = []
    and_rows = []
    for row in reversed(pixels):
        xor_rows.append(bytes(row) + bytes(xor_stride - size))
        mask = bytearray(and_stride)
        for x, index in enumerate(row):
            if index == CLEAR:
                mask[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(mask))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def icon():
    sizes = (32, 16)
    images = [image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "morvane.ico")
    with open(target, "wb") as handle:
        handle.write(icon())


if __name__ == "__main__":
    main()
