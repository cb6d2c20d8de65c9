#!/usr/bin/env python3
"""Makes the small RIFF streams of the sample module: two WAVE sounds, two AVI
clips of uncompressed frames and two animated cursors. One of each is built
into the module as a custom resource; the demo appends the others to its copy
of the module, so both ways of carrying a stream are shown.

Run it again after changing a drawing; the files it writes into media/ are
committed, so the build needs no Python."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "media")


def chunk(tag, data):
    pad = b"\0" if len(data) % 2 else b""
    return tag + struct.pack("<I", len(data)) + data + pad


def riff(form, body):
    # The extraction writes a stream rounded up to whole DWORDs; a short JUNK
    # chunk makes each one that long already, so the files come back unchanged.
    if len(body) % 4:
        body += chunk(b"JUNK", b"\0" * 2)
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + form + body


def list_chunk(kind, body):
    return chunk(b"LIST", kind + body)


# ------------------------------------------------------------------ sounds
def wave(frequencies, seconds, rate=8000):
    """8-bit mono PCM: one tone after the other, each fading out."""
    samples = bytearray()
    per_tone = int(rate * seconds / len(frequencies))
    for frequency in frequencies:
        for i in range(per_tone):
            fade = 1.0 - i / per_tone
            value = math.sin(2 * math.pi * frequency * i / rate) * fade
            samples.append(128 + int(100 * value))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    return riff(b"WAVE", chunk(b"fmt ", fmt) + chunk(b"data", bytes(samples)))


# ------------------------------------------------------------------ clips
def avi(frames, width, height, fps):
    """Uncompressed 24-bit frames (bottom-up rows) with an index."""
    row = (width * 3 + 3) & ~3
    frame_size = row * height
    usec = 1000000 // fps
    avih = struct.pack("<IIIIIIIIII4I", usec, frame_size * fps, 0, 0x10, len(frames), 0, 1,
                       frame_size, width, height, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"DIB ", 0, 0, 0, 0, 1, fps, 0,
                       len(frames), frame_size, 0xFFFFFFFF, 0, 0, 0, width, height)
    strf = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, frame_size, 0, 0, 0, 0)
    hdrl = list_chunk(b"hdrl", chunk(b"avih", avih) +
                      list_chunk(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf)))
    movi_body = b""
    index = b""
    for pixels in frames:
        data = b""
        for y in range(height - 1, -1, -1):
            line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in pixels[y])
            data += line + b"\0" * (row - len(line))
        # Offsets in the index count from the "movi" tag.
        index += struct.pack("<4sIII", b"00db", 0x10, 4 + len(movi_body), len(data))
        movi_body += chunk(b"00db", data)
    return riff(b"AVI ", hdrl + list_chunk(b"movi", movi_body) + chunk(b"idx1", index))


def moving_square(step, size, colour):
    pixels = [[(255, 255, 255)] * size for _ in range(size)]
    x0 = (step * 2) % (size - 4)
    for y in range(size // 2 - 2, size // 2 + 2):
        for x in range(x0, x0 + 4):
            pixels[y][x] = colour
    return pixels


def growing_bar(step, size, colour):
    pixels = [[(0, 0, 0)] * size for _ in range(size)]
    for y in range(size - 1 - step, size):
        for x in range(size // 2 - 2, size // 2 + 2):
            pixels[y][x] = colour
    return pixels


# ------------------------------------------------------------------ cursors
def cursor_file(mask_rows, hotspot):
    """A 32x32 monochrome cursor: black where mask_rows has '#', clear elsewhere."""
    size = 32
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    xor_bits = b""
    and_bits = b""
    for y in range(size - 1, -1, -1):
        xor_row = 0
        and_row = 0
        for x in range(size):
            ink = mask_rows[y][x] == "#"
            xor_row = (xor_row << 1) | 0  # black ink, nothing inverted
            and_row = (and_row << 1) | (0 if ink else 1)
        xor_bits += struct.pack(">I", xor_row)
        and_bits += struct.pack(">I", and_row)
    image = header + palette + xor_bits + and_bits
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(image), 22)
    return directory + entry + image


def spoke_frame(angle):
    rows = [[" "] * 32 for _ in range(32)]
    for r in range(3, 15):
        for t in (0.0, math.pi):
            x = int(round(16 + r * math.cos(angle + t)))
            y = int(round(16 + r * math.sin(angle + t)))
            for dx in (0, 1):
                for dy in (0, 1):
                    if 0 <= x + dx < 32 and 0 <= y + dy < 32:
                        rows[y + dy][x + dx] = "#"
    return ["".join(row) for row in rows]


def dot_frame(count):
    rows = [[" "] * 32 for _ in range(32)]
    for i in range(count):
        for y in range(14, 18):
            for x in range(4 + i * 8, 8 + i * 8):
                rows[y][x] = "#"
    return ["".join(row) for row in rows]


def ani(frames, jiffies):
    anih = struct.pack("<9I", 36, len(frames), len(frames), 0, 0, 0, 0, jiffies, 1)
    icons = b"".join(chunk(b"icon", cursor_file(f, (16, 16))) for f in frames)
    return riff(b"ACON", chunk(b"anih", anih) + list_chunk(b"fram", icons))


def main():
    os.makedirs(HERE, exist_ok=True)
    files = {
        "chime.wav": wave([880, 660, 990], 0.45),
        "knock.wav": wave([200, 180], 0.2),
        "square.avi": avi([moving_square(i, 16, (200, 30, 30)) for i in range(6)], 16, 16, 6),
        "bar.avi": avi([growing_bar(i, 12, (30, 160, 60)) for i in range(12)], 12, 12, 8),
        "spoke.ani": ani([spoke_frame(i * math.pi / 4) for i in range(4)], 8),
        "dots.ani": ani([dot_frame(i) for i in range(1, 4)], 12),
    }
    for name, data in files.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
