#!/usr/bin/env python3
"""Draws the pictures of the sample module: icons of several sizes and depths,
a monochrome and a colour cursor, and bitmaps of every depth, plus one
run-length-encoded bitmap that the extraction must leave alone.

Run it again after changing a drawing; the files it writes into images/ are
committed, so the build needs no Python."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")

PALETTE16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
             (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
             (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)


def grey_palette(n):
    return [(i * 255 // (n - 1),) * 3 for i in range(n)]


def row_bytes(width, bits):
    return ((width * bits + 31) // 32) * 4


def pack_row(values, bits, width):
    """Packs palette indexes (bits <= 8) or ready-made pixel byte strings."""
    out = bytearray()
    if bits >= 16:
        for v in values:
            out += v
    else:
        acc, n = 0, 0
        for v in values:
            acc = (acc << bits) | v
            n += bits
            if n == 8:
                out.append(acc)
                acc, n = 0, 0
        if n:
            out.append(acc << (8 - n))
    out += b"\0" * (row_bytes(width, bits) - len(out))
    return bytes(out)


def pixel(x, y, w, h, bits, seed):
    """A deterministic pattern: diagonal bands, different for every picture."""
    v = (x * 3 + y * 5 + seed * 7) // 4
    if bits == 1:
        return ((x // 4) + (y // 4) + seed) & 1
    if bits <= 8:
        return v % (1 << bits)
    r, g, b = (x * 255 // max(w - 1, 1), y * 255 // max(h - 1, 1), (seed * 40 + v * 16) & 255)
    if bits == 16:
        return struct.pack("<H", ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
    if bits == 24:
        return bytes((b, g, r))
    alpha = 255 if (x + y + seed) % 7 else 128
    return bytes((b, g, r, alpha))


def pixel_rows(w, h, bits, seed):
    """Bottom-up rows, as a DIB stores them."""
    rows = []
    for y in range(h - 1, -1, -1):
        rows.append(pack_row([pixel(x, y, w, h, bits, seed) for x in range(w)], bits, w))
    return b"".join(rows)


def mask_rows(w, h, seed):
    """The 1-bit AND mask: a transparent corner so that the mask matters."""
    rows = []
    for y in range(h - 1, -1, -1):
        rows.append(pack_row([1 if x + y < (w // 4 + seed % 3) else 0 for x in range(w)], 1, w))
    return b"".join(rows)


def info_header(w, h, bits, colours_used=0, compression=0, size_image=0):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, compression, size_image, 0, 0,
                       colours_used, 0)


def palette_for(bits):
    if bits == 1:
        return palette_bytes([(0, 0, 0), (255, 255, 255)])
    if bits == 4:
        return palette_bytes(PALETTE16)
    if bits == 8:
        return palette_bytes(grey_palette(256))
    return b""


def icon_image(w, h, bits, seed):
    """An icon or cursor image: header with the doubled height, palette, XOR
    bits, AND mask."""
    return (info_header(w, h * 2, bits) + palette_for(bits) + pixel_rows(w, h, bits, seed) +
            mask_rows(w, h, seed))


def write_icon_file(name, images, cursor=False):
    """images: list of (w, h, bits, seed[, hotspot])."""
    blobs = [icon_image(*img[:4]) for img in images]
    out = struct.pack("<HHH", 0, 2 if cursor else 1, len(images))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        w, h, bits = img[:3]
        if cursor:
            hx, hy = img[4]
            out += struct.pack("<BBBBHHII", w, h, 0, 0, hx, hy, len(blob), offset)
        else:
            colours = (1 << bits) if bits < 8 else 0
            out += struct.pack("<BBBBHHII", w & 255, h & 255, colours, 0, 1, bits, len(blob),
                               offset)
        offset += len(blob)
    out += b"".join(blobs)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


def write_bitmap_file(name, w, h, bits, seed):
    body = info_header(w, h, bits) + palette_for(bits) + pixel_rows(w, h, bits, seed)
    table = len(palette_for(bits))
    header = struct.pack("<HIHHI", 0x4D42, 14 + len(body), 0, 0, 54 + table)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + body)


def write_rle8_bitmap(name, w, h):
    """Run-length encoded 8-bit rows: one run per row, then end of bitmap."""
    data = bytearray()
    for y in range(h):
        data += bytes((w, (y * 37) & 255, 0, 0))  # w pixels of one colour, end of line
    data[-2:] = bytes((0, 1))  # the last end of line becomes end of bitmap
    body = info_header(w, h, 8, compression=1, size_image=len(data)) + palette_for(8) + data
    header = struct.pack("<HIHHI", 0x4D42, 14 + len(body), 0, 0, 54 + 1024)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + body)


def main():
    os.makedirs(HERE, exist_ok=True)
    # 744 + 296 + 1128 bytes of images: a 2222-byte .ico.
    write_icon_file("three.ico", [(32, 32, 4, 1), (16, 16, 4, 2), (16, 16, 32, 3)])
    write_icon_file("large.ico", [(48, 48, 8, 4), (32, 32, 32, 5), (256, 256, 32, 6)])
    write_icon_file("mono.ico", [(32, 32, 1, 7)])
    write_icon_file("arrow.cur", [(32, 32, 1, 8, (3, 5))], cursor=True)
    write_icon_file("paint.cur", [(32, 32, 4, 9, (16, 17))], cursor=True)
    write_bitmap_file("rgb3x2.bmp", 3, 2, 24, 10)
    write_bitmap_file("nine4.bmp", 9, 5, 4, 11)
    write_bitmap_file("grey8.bmp", 10, 10, 8, 12)
    write_bitmap_file("mono1.bmp", 17, 3, 1, 13)
    write_bitmap_file("high16.bmp", 5, 3, 16, 14)
    write_bitmap_file("alpha32.bmp", 4, 4, 32, 15)
    write_rle8_bitmap("rle8.bmp", 8, 4)


if __name__ == "__main__":
    main()
