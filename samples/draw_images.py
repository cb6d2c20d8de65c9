#!/usr/bin/env python3
"""Draws the pictures of the sample module: icons of several sizes and depths,
a monochrome and a colour cursor, bitmaps of every depth, bit-field bitmaps
with the short and the long header, run-length-encoded bitmaps of both
depths, and PNG, GIF and JPEG pictures, each format written here by hand so
that the bytes depend on nothing but this script.

Run it again after changing a drawing; the files it writes into images/ are
committed, so the build needs no Python."""
import math
import os
import struct
import zlib

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


def write_file(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def bmp_file(body, bits_offset):
    return struct.pack("<HIHHI", 0x4D42, 14 + len(body), 0, 0, bits_offset) + body


# ------------------------------------------------------------------ bit-field bitmaps
BI_RLE8, BI_RLE4, BI_BITFIELDS = 1, 2, 3


def write_bitfield16_bitmap(name, w, h, seed):
    """5-6-5 pixels: a 40-byte header followed by the red, green and blue masks."""
    rows = b""
    for y in range(h - 1, -1, -1):
        line = b""
        for x in range(w):
            r, g, b = x * 255 // (w - 1), y * 255 // (h - 1), (seed * 40 + x * 50) & 255
            line += struct.pack("<H", ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
        rows += line + b"\0" * (row_bytes(w, 16) - len(line))
    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    body = info_header(w, h, 16, compression=BI_BITFIELDS, size_image=len(rows)) + masks + rows
    write_file(name, bmp_file(body, 14 + 40 + len(masks)))


def v5_header(w, h, bits, size_image, masks):
    """A 124-byte header: the masks (red, green, blue, alpha) inside it, sRGB, no
    colour profile."""
    return (struct.pack("<IiiHHIIiiII", 124, w, h, 1, bits, BI_BITFIELDS, size_image, 2835, 2835,
                        0, 0) +
            struct.pack("<4I", *masks) +
            struct.pack("<I", 0x73524742) +  # LCS_sRGB
            b"\0" * 36 +                     # end points, unused with sRGB
            struct.pack("<3I", 0, 0, 0) +    # gamma
            struct.pack("<4I", 4, 0, 0, 0))  # LCS_GM_IMAGES, profile data and size, reserved


def write_bitfield32_bitmap(name, w, h, seed):
    """A-R-G-B pixels: alpha falls off from the centre."""
    rows = b""
    for y in range(h - 1, -1, -1):
        for x in range(w):
            distance = abs(2 * x + 1 - w) + abs(2 * y + 1 - h)
            alpha = max(0, 255 - distance * 40)
            r, g, b = (seed * 60 + x * 60) & 255, y * 255 // (h - 1), 200
            rows += struct.pack("<I", alpha << 24 | r << 16 | g << 8 | b)
    header = v5_header(w, h, 32, len(rows), (0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000))
    write_file(name, bmp_file(header + rows, 14 + len(header)))


# ------------------------------------------------------------------ run-length bitmaps
def write_rle8_bitmap(name, w, h):
    """Run-length encoded 8-bit rows: one run per row, then end of bitmap."""
    data = bytearray()
    for y in range(h):
        data += bytes((w, (y * 37) & 255, 0, 0))  # w pixels of one colour, end of line
    data[-2:] = bytes((0, 1))  # the last end of line becomes end of bitmap
    body = info_header(w, h, 8, compression=BI_RLE8, size_image=len(data)) + palette_for(8) + data
    write_file(name, bmp_file(body, 54 + 1024))


def write_rle4_bitmap(name, w, rows):
    """rows, top row first, each a list of ("run", count, first, second): count
    pixels alternating between two colours, or ("abs", indexes): three or more
    pixels as they are, packed two to a byte and padded to a whole word."""
    data = bytearray()
    for ops in reversed(rows):  # the bottom row is stored first
        pixels = 0
        for op in ops:
            if op[0] == "run":
                _, count, first, second = op
                data += bytes((count, first << 4 | second))
                pixels += count
            else:
                indexes = op[1] + [0] * (len(op[1]) % 2)
                assert 3 <= len(op[1]) <= 255
                packed = bytes(indexes[i] << 4 | indexes[i + 1] for i in range(0, len(indexes), 2))
                data += bytes((0, len(op[1]))) + packed + b"\0" * (len(packed) % 2)
                pixels += len(op[1])
        assert pixels == w, "a row must cover the width exactly"
        data += bytes((0, 0))  # end of line
    data[-2:] = bytes((0, 1))  # the last end of line becomes end of bitmap
    body = (info_header(w, len(rows), 4, colours_used=16, compression=BI_RLE4,
                        size_image=len(data)) + palette_for(4) + data)
    write_file(name, bmp_file(body, 54 + 64))


RLE4_ROWS = [
    [("run", 12, 9, 9)],
    [("run", 4, 12, 12), ("abs", [1, 2, 3, 4, 5]), ("run", 3, 15, 15)],
    [("run", 12, 10, 14)],
    [("abs", list(range(12)))],
    [("run", 5, 11, 11), ("abs", [13, 0, 13]), ("run", 4, 7, 8)],
    [("run", 1, 6, 0), ("run", 11, 4, 4)],
]


# ------------------------------------------------------------------ PNG
def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(w, h, depth, colour_type, scanlines, before_data=b""):
    """scanlines: each row's bytes with its filter type byte in front. The
    compressed stream comes from the zlib that Python links, so another zlib
    may compress it otherwise; the committed bytes are what the tests use."""
    ihdr = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + before_data +
            png_chunk(b"IDAT", zlib.compress(b"".join(scanlines), 9)) + png_chunk(b"IEND", b""))


def logo_png():
    """16x16 RGBA: a disc whose edge fades out, every row filtered by Sub."""
    w = h = 16
    scanlines = []
    for y in range(h):
        raw = bytearray()
        for x in range(w):
            d = math.hypot(x - 7.5, y - 7.5)
            alpha = 255 if d < 5.5 else max(0, int(255 * (8 - d) / 2.5))
            raw += bytes((255 - x * 12, 60 + y * 10, 40 + (x + y) * 6, alpha))
        filtered = bytes((raw[i] - (raw[i - 4] if i >= 4 else 0)) & 255 for i in range(len(raw)))
        scanlines.append(b"\x01" + filtered)
    return png(w, h, 8, 6, scanlines)


def badge_png():
    """12x12, four colours of a palette at 4 bits a pixel, the first one
    transparent: a ring around a square."""
    w = h = 12
    palette = bytes((0, 0, 0, 230, 180, 20, 30, 90, 200, 250, 250, 250))
    scanlines = []
    for y in range(h):
        indexes = []
        for x in range(w):
            d = max(abs(2 * x + 1 - w), abs(2 * y + 1 - h))
            indexes.append(1 if d >= 9 else 2 if d >= 5 else 3 if d >= 3 else 0)
        scanlines.append(b"\0" + bytes(indexes[i] << 4 | indexes[i + 1] for i in range(0, w, 2)))
    extra = png_chunk(b"PLTE", palette) + png_chunk(b"tRNS", b"\0")
    return png(w, h, 4, 3, scanlines, extra)


# ------------------------------------------------------------------ GIF
def lzw_compress(indexes, min_size):
    """GIF's variable-width LZW, codes packed from the lowest bit up. The
    decoder adds each entry one code later than the encoder, so the width grows
    right after the encoder has added the entry numbered 1 << width."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    acc = [0, 0]  # bits waiting, their count

    def emit(code, width):
        acc[0] |= code << acc[1]
        acc[1] += width
        while acc[1] >= 8:
            out.append(acc[0] & 255)
            acc[0] >>= 8
            acc[1] -= 8

    def fresh():
        return {(i,): i for i in range(clear)}, end + 1, min_size + 1

    table, next_code, width = fresh()
    emit(clear, width)
    prefix = (indexes[0],)
    for index in indexes[1:]:
        longer = prefix + (index,)
        if longer in table:
            prefix = longer
            continue
        emit(table[prefix], width)
        table[longer] = next_code
        if next_code == 1 << width and width < 12:
            width += 1
        next_code += 1
        if next_code == 4096:  # the table is full: start again
            emit(clear, width)
            table, next_code, width = fresh()
        prefix = (index,)
    emit(table[prefix], width)
    if next_code == 1 << width and width < 12:  # the decoder's entry for the last code
        width += 1
    emit(end, width)
    if acc[1]:
        out.append(acc[0] & 255)
    return bytes(out)


def gif_sub_blocks(data):
    blocks = b"".join(bytes((len(data[i:i + 255]),)) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    return blocks + b"\0"


def gif_image(w, h, pixels, min_size, interlaced=False):
    """An image descriptor at 0,0 without a local colour table, then its data."""
    order = list(range(h))
    if interlaced:
        order = (list(range(0, h, 8)) + list(range(4, h, 8)) + list(range(2, h, 4)) +
                 list(range(1, h, 2)))
    indexes = [pixels[y][x] for y in order for x in range(w)]
    descriptor = b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0x40 if interlaced else 0)
    return descriptor + bytes((min_size,)) + gif_sub_blocks(lzw_compress(indexes, min_size))


def gif_screen(version, w, h, colours):
    """Header and logical screen with a global colour table of 2 ** n entries."""
    n = max(1, (len(colours) - 1).bit_length())
    table = b"".join(bytes(c) for c in colours) + b"\0\0\0" * ((1 << n) - len(colours))
    return version + struct.pack("<HHBBB", w, h, 0x80 | (n - 1) << 4 | (n - 1), 0, 0) + table


def dots_gif():
    """GIF89a, 16x16, two frames that loop: dots on a transparent ground that
    trade places."""
    w = h = 16
    colours = [(255, 255, 255), (200, 30, 30), (30, 90, 200), (20, 20, 20)]
    out = gif_screen(b"GIF89a", w, h, colours)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for frame in range(2):
        pixels = [[0] * w for _ in range(h)]
        for y in range(h):
            for x in range(w):
                if (x % 8 in (2, 3, 4, 5)) and (y % 8 in (2, 3, 4, 5)):
                    pixels[y][x] = 1 + ((x // 8 + y // 8 + frame) % 2)
                elif x == y:
                    pixels[y][x] = 3
        # Graphic control: restore to the background, 0.4 s, colour 0 transparent.
        out += b"\x21\xF9\x04" + struct.pack("<BHB", 0x09, 40, 0) + b"\0"
        out += gif_image(w, h, pixels, 2)
    return out + b"\x3B"


def stamp_gif():
    """GIF87a, 20x12, eight colours, interlaced rows: a stamp with a perforated
    edge."""
    w, h = 20, 12
    colours = [(255, 255, 255), (180, 20, 40), (240, 220, 160), (20, 100, 40), (40, 40, 160),
               (250, 200, 0), (0, 0, 0)]
    pixels = []
    for y in range(h):
        row = []
        for x in range(w):
            if x in (0, w - 1) or y in (0, h - 1):
                row.append(0 if (x + y) % 2 else 1)
            elif 4 <= x < 10 and 3 <= y < 9:
                row.append(3 + (x + y) % 2)
            elif x >= 12 and y == 6:
                row.append(6)
            else:
                row.append(5 if x == 15 and 2 <= y <= 4 else 2)
        pixels.append(row)
    return gif_screen(b"GIF87a", w, h, colours) + gif_image(w, h, pixels, 3, True) + b"\x3B"


# ------------------------------------------------------------------ JPEG
# Baseline sequential JPEG: 8x8 blocks, the DCT, quantising by the example
# tables of the JPEG standard scaled to quality 75, and Huffman tables built
# for the picture's own symbols, limited to 16-bit codes as the standard's
# annex K.2 does.
LUMINANCE_Q = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
               14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
               18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
               49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
CHROMINANCE_Q = ([17, 18, 24, 47] + [99] * 4 + [18, 21, 26, 66] + [99] * 4 +
                 [24, 26, 56] + [99] * 5 + [47, 66] + [99] * 6 + [99] * 32)


def zigzag():
    """Natural (row * 8 + column) positions in zig-zag order."""
    order = []
    for s in range(15):
        rows = range(min(s, 7), max(0, s - 7) - 1, -1) if s % 2 == 0 else range(max(0, s - 7),
                                                                                min(s, 7) + 1)
        order += [r * 8 + (s - r) for r in rows]
    return order


ZIGZAG = zigzag()
COSINES = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]


def scaled_table(table, quality=75):
    scale = 200 - 2 * quality
    return [min(255, max(1, (q * scale + 50) // 100)) for q in table]


def dct_quantised(block, table):
    """A block of 64 level-shifted samples to its quantised coefficients in
    zig-zag order."""
    coefficients = [0] * 64
    for v in range(8):
        for u in range(8):
            total = sum(block[y * 8 + x] * COSINES[u][x] * COSINES[v][y]
                        for y in range(8) for x in range(8))
            cu = math.sqrt(0.5) if u == 0 else 1.0
            cv = math.sqrt(0.5) if v == 0 else 1.0
            coefficients[v * 8 + u] = 0.25 * cu * cv * total
    return [int(math.floor(coefficients[n] / table[n] + 0.5)) for n in ZIGZAG]


def magnitude_bits(value):
    """The category of a coefficient and its extra bits."""
    size = abs(value).bit_length()
    return size, value if value >= 0 else value + (1 << size) - 1


def block_symbols(zz, previous_dc):
    """(table, symbol, size, bits) of one block: DC difference, then the AC runs."""
    out = []
    size, bits = magnitude_bits(zz[0] - previous_dc)
    out.append(("dc", size, size, bits))
    run = 0
    for value in zz[1:]:
        if value == 0:
            run += 1
            continue
        while run > 15:
            out.append(("ac", 0xF0, 0, 0))
            run -= 16
        size, bits = magnitude_bits(value)
        out.append(("ac", run << 4 | size, size, bits))
        run = 0
    if run:
        out.append(("ac", 0x00, 0, 0))
    return out


def huffman_table(frequencies):
    """BITS and HUFFVAL of a table for the symbols used: code lengths from the
    Huffman tree, with one reserved symbol so that no code is all ones, then
    cut to 16 bits as annex K.2 does."""
    symbols = sorted(frequencies)
    weights = {s: frequencies[s] for s in symbols}
    weights[256] = 1  # the reserved symbol
    lengths = {s: 0 for s in weights}
    groups = [(w, s, [s]) for s, w in weights.items()]
    while len(groups) > 1:
        groups.sort(key=lambda g: (g[0], -g[1]))
        (w1, s1, m1), (w2, s2, m2) = groups[0], groups[1]
        for s in m1 + m2:
            lengths[s] += 1
        groups = groups[2:] + [(w1 + w2, max(s1, s2), m1 + m2)]
    bits = [0] * 33
    for s, n in lengths.items():
        bits[n] += 1
    for i in range(32, 16, -1):
        while bits[i] > 0:
            j = i - 2
            while bits[j] == 0:
                j -= 1
            bits[i] -= 2
            bits[i - 1] += 1
            bits[j + 1] += 2
            bits[j] -= 1
    longest = max(i for i in range(17) if bits[i])
    bits[longest] -= 1  # drop the reserved symbol, the last of the longest codes
    ordered = sorted(symbols, key=lambda s: (lengths[s], s))
    return bits[1:17], ordered


def huffman_codes(bits, values):
    codes, code, at = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[at]] = (code, length)
            code += 1
            at += 1
        code <<= 1
    return codes


class JpegBits:
    def __init__(self):
        self.out, self.acc, self.count = bytearray(), 0, 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = self.acc << 1 | (value >> i) & 1
            self.count += 1
            if self.count == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)  # a stuffed byte, so that no marker is seen
                self.acc, self.count = 0, 0

    def finish(self):
        while self.count:
            self.put(1, 1)  # padding of one bits
        return bytes(self.out)


def jpeg_segment(marker, body):
    return b"\xFF" + bytes((marker,)) + struct.pack(">H", 2 + len(body)) + body


def jpeg(w, h, planes, with_jfif):
    """planes: one (greyscale) or three (Y, Cb, Cr) lists of rows of samples,
    all at full resolution (no subsampling)."""
    tables = [scaled_table(LUMINANCE_Q), scaled_table(CHROMINANCE_Q)]
    table_of = [0, 1, 1][:len(planes)]
    blocks = []  # (component, zig-zag coefficients) in scan order
    for by in range(0, h, 8):
        for bx in range(0, w, 8):
            for c, plane in enumerate(planes):
                samples = [plane[min(by + y, h - 1)][min(bx + x, w - 1)] - 128
                           for y in range(8) for x in range(8)]
                blocks.append((c, dct_quantised(samples, tables[table_of[c]])))
    symbols = []
    previous = [0] * len(planes)
    for c, zz in blocks:
        symbols += [(table_of[c], s) for s in block_symbols(zz, previous[c])]
        previous[c] = zz[0]
    frequencies = {}
    for t, (kind, symbol, _, _) in symbols:
        key = (kind, t)
        frequencies.setdefault(key, {})
        frequencies[key][symbol] = frequencies[key].get(symbol, 0) + 1
    dht, codes = b"", {}
    for kind, t in sorted(frequencies, key=lambda k: (k[1], k[0] == "ac")):
        bits, values = huffman_table(frequencies[(kind, t)])
        dht += bytes(((kind == "ac") << 4 | t,)) + bytes(bits) + bytes(values)
        codes[(kind, t)] = huffman_codes(bits, values)
    writer = JpegBits()
    for t, (kind, symbol, size, extra) in symbols:
        writer.put(*codes[(kind, t)][symbol])
        writer.put(extra, size)
    out = b"\xFF\xD8"
    if with_jfif:
        out += jpeg_segment(0xE0, b"JFIF\0\x01\x01\x00" + struct.pack(">HHBB", 1, 1, 0, 0))
    out += jpeg_segment(0xDB, b"".join(bytes((i,)) + bytes(tables[i][n] for n in ZIGZAG)
                                       for i in sorted(set(table_of))))
    out += jpeg_segment(0xC0, struct.pack(">BHHB", 8, h, w, len(planes)) +
                        b"".join(bytes((c + 1, 0x11, table_of[c])) for c in range(len(planes))))
    out += jpeg_segment(0xC4, dht)
    out += jpeg_segment(0xDA, bytes((len(planes),)) +
                        b"".join(bytes((c + 1, table_of[c] << 4 | table_of[c]))
                                 for c in range(len(planes))) + b"\x00\x3F\x00")
    return out + writer.finish() + b"\xFF\xD9"


def ycbcr_planes(w, h, colour):
    """colour(x, y) -> (r, g, b), converted as JFIF does."""
    planes = [[[0] * w for _ in range(h)] for _ in range(3)]
    for y in range(h):
        for x in range(w):
            r, g, b = colour(x, y)
            values = (0.299 * r + 0.587 * g + 0.114 * b,
                      -0.168736 * r - 0.331264 * g + 0.5 * b + 128,
                      0.5 * r - 0.418688 * g - 0.081312 * b + 128)
            for plane, value in zip(planes, values):
                plane[y][x] = min(255, max(0, int(value + 0.5)))
    return planes


def photo_colour(x, y):
    """A sun over hills under a sky that darkens upwards."""
    if math.hypot(x - 11, y - 4) < 3:
        return (250, 210, 60)
    if y > 10 + 2 * math.sin(x / 3):
        return (40, 140 - y * 3, 50)
    return (90 + y * 8, 150 + y * 5, 240)


def card_plane(w, h):
    """Greyscale: a light card with a dark edge and a diagonal band."""
    rows = []
    for y in range(h):
        rows.append([40 if x in (0, w - 1) or y in (0, h - 1) else
                     90 if abs(x - 2 * y) < 3 else 200 + (x % 4) * 10 for x in range(w)])
    return rows


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
    write_rle4_bitmap("rle4.bmp", 12, RLE4_ROWS)
    write_bitfield16_bitmap("bf16.bmp", 5, 3, 16)
    write_bitfield32_bitmap("bf32.bmp", 4, 4, 17)
    write_file("logo.png", logo_png())
    write_file("badge.png", badge_png())
    write_file("dots.gif", dots_gif())
    write_file("stamp.gif", stamp_gif())
    write_file("photo.jpg", jpeg(16, 16, ycbcr_planes(16, 16, photo_colour), True))
    write_file("card.jpg", jpeg(24, 16, [card_plane(24, 16)], False))


if __name__ == "__main__":
    main()
