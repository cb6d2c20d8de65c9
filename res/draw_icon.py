#!/usr/bin/env python3
"""Draws the program's icon, pelnore.ico: a picture frame with a mountain and a
sun, and an orange arrow that lifts the picture out of it. 16x16 and 32x32,
32-bit colour with alpha, plus the 1-bit AND masks that old systems use.

Run it again after changing the drawing; the .ico it writes is committed."""
import struct


def draw(size):
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def put(x, y, c):
        if 0 <= x < size and 0 <= y < size:
            px[y][x] = c

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                put(x, y, c)

    frame = (40, 70, 140, 255)
    sky = (150, 205, 245, 255)
    hill = (60, 150, 70, 255)
    sun = (250, 210, 40, 255)
    arrow = (240, 120, 20, 255)
    rect(2, 6, 26, 28, frame)          # frame
    rect(4, 8, 24, 26, sky)            # sky
    for y in range(size):              # two hills
        for x in range(size):
            fx, fy = x / s, y / s
            if 8 <= fy < 26 and 4 <= fx < 24:
                if fy > 26 - (8 - abs(fx - 10)) * 1.3 or fy > 26 - (6 - abs(fx - 19)) * 1.2:
                    put(x, y, hill)
            if (fx - 19) ** 2 + (fy - 12.5) ** 2 <= 6.5:
                put(x, y, sun)
    # Arrow leaving the frame at the upper right.
    for y in range(size):
        for x in range(size):
            fx, fy = x / s, y / s
            d = (fx - 16) - (12 - fy)       # along the diagonal
            if 18 <= fx <= 29 and 1 <= fy <= 12 and abs((fx + fy) - 29) <= 1.6 and fx <= 27:
                put(x, y, arrow)
            if 23 <= fx <= 31 and 0 <= fy <= 8 and fx - fy >= 22 and fy <= 3.2:
                put(x, y, arrow)
            if 27.8 <= fx <= 31 and 0 <= fy <= 8 and fx - fy >= 22:
                put(x, y, arrow)
            del d
    return px


def image_bytes(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def main():
    sizes = [16, 32]
    images = [image_bytes(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(__file__.replace('draw_icon.py', 'pelnore.ico'), 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
