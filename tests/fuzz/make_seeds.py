#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: the sample module's pictures and
media (samples/) in each target's input form, and crafted hostile cases."""
import os
import struct
import sys
import zlib

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
corpus = os.path.join(here, "corpus")


def put(target, name, data):
    folder = os.path.join(corpus, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def group_input(cursor, group, images):
    """fuzz_group's form: kind byte, group length and bytes, image records."""
    out = bytes([1 if cursor else 0]) + struct.pack("<H", len(group)) + group
    for ident, data in images:
        out += struct.pack("<HH", ident, len(data)) + data
    return out


def from_icon_file(data, cursor):
    """An .ico or .cur file back into a group resource and its images."""
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    group = struct.pack("<HHH", 0, kind, count)
    images = []
    for i in range(count):
        w, h, colours, res, p1, p2, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        image = data[offset:offset + size]
        if cursor:
            group += struct.pack("<HHHHIH", w, h * 2, 1, 1, size + 4, i + 1)
            image = struct.pack("<HH", p1, p2) + image
        else:
            group += struct.pack("<BBBBHHIH", w, h, colours, res, p1, p2, size, i + 1)
        images.append((i + 1, image))
    return group, images


def info_header(width, height, bits, compression, image_size=0, size=40):
    return struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, image_size,
                       0, 0, 0, 0) + bytes(size - 40)


def main():
    images = os.path.join(root, "samples", "images")
    for name in sorted(os.listdir(images)):
        data = open(os.path.join(images, name), "rb").read()
        stem, ext = os.path.splitext(name)
        if ext == ".bmp":
            put("bitmap", stem, data[14:])
        elif ext in (".ico", ".cur") and len(data) < 60000:
            group, imgs = from_icon_file(data, ext == ".cur")
            put("group", stem, group_input(ext == ".cur", group, imgs))
    media = os.path.join(root, "samples", "media")
    for name in sorted(os.listdir(media)):
        put("riff", name.replace(".", "_"), open(os.path.join(media, name), "rb").read())

    # Crafted groups: a missing image declaring 512 MiB, entries that all name
    # one image, a flipped header, and an image shorter than a cursor hotspot.
    small = open(os.path.join(images, "mono.ico"), "rb").read()
    group, imgs = from_icon_file(small, False)
    image = imgs[0][1]
    entry = struct.pack("<BBBBHHIH", 32, 32, 2, 0, 1, 1, len(image), 1)
    missing = struct.pack("<BBBBHHIH", 64, 64, 0, 0, 1, 32, 0x20000000, 99)
    put("group", "missing", group_input(False, struct.pack("<HHH", 0, 1, 2) + missing + entry,
                                        [(1, image)]))
    put("group", "repeated", group_input(False, struct.pack("<HHH", 0, 1, 40) + entry * 40,
                                         [(1, image)]))
    put("group", "flipped", group_input(False, b"\x12\x34\x02\x1b\x01\x00" + entry, [(1, image)]))
    cur = struct.pack("<HHHHIH", 32, 64, 1, 1, 2, 7)
    put("group", "shorthotspot", group_input(True, struct.pack("<HHH", 0, 2, 1) + cur,
                                             [(7, b"\x01")]))

    # Crafted bitmaps: top-down, a width whose row size overflows 32 bits.
    dib = open(os.path.join(images, "rgb3x2.bmp"), "rb").read()[14:]
    put("bitmap", "topdown", dib[:8] + struct.pack("<i", -2) + dib[12:])
    put("bitmap", "widewrap", dib[:4] + struct.pack("<I", 0x7FFFFFFF) + dib[8:])

    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    put("bitmap", "fields16", info_header(4, 2, 16, 3) + masks + bytes(range(16)))
    put("bitmap", "fields32v5", info_header(2, -2, 32, 3, size=124)[:40] + masks + bytes(72 + 16))
    put("bitmap", "fieldscut", info_header(4, 2, 16, 3) + masks[:8])
    rle4 = b"\x06\x12\x00\x00\x00\x06\x34\x56\x78\x00\x00\x01"  # run, end of line, literal
    put("bitmap", "rle4", info_header(6, 2, 4, 2, len(rle4)) + bytes(64) + rle4)
    put("bitmap", "rle8pastend", info_header(4, 2, 8, 1, 0x1000) + bytes(1024) + b"\4\7\0\1")

    # Content in the same target: each format's first bytes, an MPEG frame cut.
    frame = b"\xff\xfb\x90\x00" + bytes(413)  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz
    put("bitmap", "content_png", b"\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR" + bytes(17))
    put("bitmap", "content_gif", b"GIF89a\x01\x00\x01\x00\x00\x00\x00," + bytes(9))
    put("bitmap", "content_jpeg", b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01" + bytes(7))
    put("bitmap", "content_midi", b"MThd\0\0\0\6\0\0\0\1\0\x60MTrk" + bytes(4))
    put("bitmap", "content_id3", b"ID3\x03\x00\x00\x00\x00\x00\x0a" + bytes(10) + frame)
    put("bitmap", "content_mpeg2frames", frame + frame)
    put("bitmap", "content_mpegcut", frame + frame[:3])
    put("bitmap", "content_ogg", b"OggS\x00\x02" + bytes(20) + b"\x01\x1e\x01vorbis" + bytes(23))

    # Crafted RIFF files: a chain of WAVE records each declaring the rest, a
    # false start before a stream, and a tail cut by two and by eight bytes.
    chain = b""
    while len(chain) < 1200:
        chain += b"RIFF" + struct.pack("<I", 1200 - len(chain) - 8) + b"WAVE"
    put("riff", "chain", chain)
    wave = b"RIFF" + struct.pack("<I", 4 + 21) + b"WAVE" + bytes(range(21)) + b"\0\0\0"
    put("riff", "falsestart", b"RIFRRIF" + wave + b"RIF")
    put("riff", "tailcut2", wave[:-2])
    put("riff", "tailcut8", wave[:-8])

    # The scan's other formats: each sample picture whole and then cut in half,
    # and hostile ones: a GIF whose sub-blocks never end, a PNG of hundreds of
    # empty chunks, an MP3 chain that loops back into its own frames.
    for name in sorted(os.listdir(images)):
        data = open(os.path.join(images, name), "rb").read()
        if len(data) < 60000:
            put("riff", "image_" + name.replace(".", "_"), b"MZ" + data + data[: len(data) // 2])
    put("riff", "gif_endless", b"GIF89a" + bytes(7) + b"\x2c" + bytes(9) + b"\x02" + b"\xff" * 4000)
    png = open(os.path.join(images, "badge.png"), "rb").read()
    empty = b"\0\0\0\0tEXt" + struct.pack(">I", zlib.crc32(b"tEXt"))
    put("riff", "png_chunks", png[:33] + empty * 300 + png[-12:])
    put("riff", "mp3_loop", (b"\xff\xfb\x90\xc4" + bytes(413)) * 3 + b"\xff\xfb")


if __name__ == "__main__":
    sys.exit(main())
