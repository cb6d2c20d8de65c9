#!/usr/bin/env python3
"""Makes the small RIFF streams of the sample module: two WAVE sounds, two AVI
clips of uncompressed frames and two animated cursors. One of each is built
into the module as a custom resource; the demo appends the others to its copy
of the module, so both ways of carrying a stream are shown.

Also the sounds that programs keep as resources of their own types, each a
real file of its format: a Standard MIDI file, MPEG audio frames bare and
behind an ID3v2 tag, an Ogg stream, and a plain text that is none of them.

Run it again after changing a drawing; the files it writes into media/ are
committed, so the build needs no Python."""
import hashlib
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


# ------------------------------------------------------------------ MIDI
def variable_length(value):
    """MIDI's variable-length quantity: seven bits a byte, high bit on all but
    the last."""
    out = bytes((value & 0x7F,))
    value >>= 7
    while value:
        out = bytes((0x80 | value & 0x7F,)) + out
        value >>= 7
    return out


def midi(notes, ticks_per_quarter=96, program=11):
    """Format 0, one track: tempo, instrument, then each (note, quarters) in
    turn. Note-offs are note-ons of velocity 0 under running status, as
    sequencers write them."""
    events = [(0, b"\xFF\x51\x03" + (500000).to_bytes(3, "big")),  # 120 beats a minute
              (0, b"\xFF\x58\x04\x04\x02\x18\x08"),  # 4/4
              (0, bytes((0xC0, program)))]
    first = True
    for note, quarters in notes:
        events.append((0, (b"\x90" if first else b"") + bytes((note, 100))))
        events.append((ticks_per_quarter * quarters, bytes((note, 0))))
        first = False
    events.append((0, b"\xFF\x2F\x00"))  # end of track
    track = b"".join(variable_length(delta) + data for delta, data in events)
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, ticks_per_quarter)
    return header + b"MTrk" + struct.pack(">I", len(track)) + track


# ------------------------------------------------------------------ MPEG audio
def mp3_frames(count):
    """MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, mono, no CRC. Side information
    and main data are all zeros: no granule holds coded bits, so the frames
    decode to silence. A frame is 144 * 128000 / 44100 = 417.96 bytes; the
    padding byte is added where the running remainder says so, as encoders do."""
    out = b""
    remainder = 0
    for _ in range(count):
        remainder += 144 * 128000 % 44100
        padding = remainder >= 44100
        remainder %= 44100
        length = 144 * 128000 // 44100 + padding
        header = bytes((0xFF, 0xFB, 0x90 | padding << 1, 0xC4))  # mono, original
        out += header + b"\0" * (length - 4)
    return out


def id3v2_tag(title):
    """An ID3v2.3 tag holding one title frame; the tag's size is synch-safe
    (seven bits a byte), the frame's is not."""
    text = b"\0" + title.encode("latin-1")  # encoding 0: ISO-8859-1
    frame = b"TIT2" + struct.pack(">IH", len(text), 0) + text
    size = len(frame)
    synch_safe = bytes(((size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F))
    return b"ID3\x03\x00\x00" + synch_safe + frame


# ------------------------------------------------------------------ Ogg
def ogg_crc(data):
    """Ogg's CRC-32: polynomial 0x04C11DB7, not reflected, starting at 0, no
    final inversion."""
    crc = 0
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = (crc << 1 ^ 0x04C11DB7 if crc & 0x80000000 else crc << 1) & 0xFFFFFFFF
    return crc


def ogg_page(packets, serial, sequence, granule, flags):
    """One page holding whole packets: each packet's lacing values (255s, then
    the rest, which may be 0), then their bytes."""
    lacing = b""
    for packet in packets:
        lacing += b"\xFF" * (len(packet) // 255) + bytes((len(packet) % 255,))
    assert len(lacing) <= 255
    page = (b"OggS\x00" + bytes((flags,)) + struct.pack("<qII", granule, serial, sequence) +
            b"\0\0\0\0" + bytes((len(lacing),)) + lacing + b"".join(packets))
    return page[:22] + struct.pack("<I", ogg_crc(page)) + page[26:]


def crc8(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc << 1 ^ 0x07 if crc & 0x80 else crc << 1) & 0xFF
    return crc


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = (crc << 1 ^ 0x8005 if crc & 0x8000 else crc << 1) & 0xFFFF
    return crc


FLAC_BLOCK = 256  # block size code 8
FLAC_RATE = 8000  # sample rate code 4


def flac_frame(number, samples):
    """A frame of one channel of 8-bit samples kept verbatim."""
    header = bytes((0xFF, 0xF8, 0x84, 0x02, number))  # fixed blocks; mono, 8 bits; frame number
    header += bytes((crc8(header),))
    frame = header + b"\x02" + bytes(s & 0xFF for s in samples)  # a verbatim subframe
    return frame + struct.pack(">H", crc16(frame))


def ogg_flac(samples, serial):
    """FLAC in Ogg: the first page carries the mapping's header packet with the
    stream information, the second the comment block, then the audio pages, two
    frames a page, each page's granule the count of samples ended on it."""
    frames = [flac_frame(i, samples[i * FLAC_BLOCK:(i + 1) * FLAC_BLOCK])
              for i in range(len(samples) // FLAC_BLOCK)]
    frame_size = len(frames[0])
    info = struct.pack(">HH", FLAC_BLOCK, FLAC_BLOCK) + frame_size.to_bytes(3, "big") * 2
    info += (FLAC_RATE << 44 | 0 << 41 | 7 << 36 | len(samples)).to_bytes(8, "big")
    info += hashlib.md5(bytes(s & 0xFF for s in samples)).digest()
    first = b"\x7FFLAC\x01\x00" + struct.pack(">H", 1) + b"fLaC" + b"\x00" + len(info).to_bytes(
        3, "big") + info
    vendor = b"pelnore samples"
    comments = struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", 0)
    second = b"\x84" + len(comments).to_bytes(3, "big") + comments  # the last metadata block
    pages = [ogg_page([first], serial, 0, 0, 0x02), ogg_page([second], serial, 1, 0, 0x00)]
    for i in range(0, len(frames), 2):
        last = i + 2 >= len(frames)
        pages.append(ogg_page(frames[i:i + 2], serial, len(pages), (i + 2) * FLAC_BLOCK,
                              0x04 if last else 0x00))
    return b"".join(pages)


def drip(count):
    """A falling drop: a tone gliding upwards that dies away fast."""
    samples = []
    phase = 0.0
    for i in range(count):
        phase += 2 * math.pi * (500 + 2 * i) / FLAC_RATE
        samples.append(int(round(100 * math.sin(phase) * math.exp(-i / 180))))
    return samples


NOTES = b"""pelnore sample notes
This text is kept as a resource of its own type.
It is no picture and no sound, so no file is written for it.
"""


# ------------------------------------------------------------------ metafiles
def wmf_record(function, *words):
    return struct.pack("<IH", 3 + len(words), function) + struct.pack("<%dh" % len(words), *words)


def wmf(width, height):
    """A placeable Windows metafile: a brush, a pen and a filled rectangle with
    an ellipse in it, then META_EOF. The checksum is the XOR of the placeable
    header's first ten words."""
    records = (wmf_record(0x020B, 0, 0) + wmf_record(0x020C, height, width)
               + wmf_record(0x02FC, 0, 0x30C0, 0x0020, 0)  # CreateBrushIndirect, solid
               + wmf_record(0x012D, 0)  # SelectObject
               + wmf_record(0x041B, height - 2, width - 2, 2, 2)  # Rectangle
               + wmf_record(0x0418, height - 8, width - 8, 8, 8)  # Ellipse
               + wmf_record(0x0000))
    words = (9 * 2 + len(records)) // 2
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, words, 1, 7, 0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, width, height, 1440, 0)
    checksum = 0
    for (word,) in struct.iter_unpack("<H", placeable):
        checksum ^= word
    return placeable + struct.pack("<H", checksum) + header + records


def emf(width, height):
    """An enhanced metafile: the header record with " EMF" at 40, a rectangle
    and an ellipse, and EMR_EOF."""
    box = struct.pack("<4i", 2, 2, width - 2, height - 2)
    body = (struct.pack("<II", 43, 24) + box + struct.pack("<II", 42, 24)
            + struct.pack("<4i", 8, 8, width - 8, height - 8))
    eof = struct.pack("<IIIII", 14, 20, 0, 16, 20)
    size = 88 + len(body) + len(eof)
    header = (struct.pack("<II", 1, 88) + struct.pack("<4i", 0, 0, width, height)
              + struct.pack("<4i", 0, 0, width * 26, height * 26) + b" EMF"
              + struct.pack("<IIIHHIII", 0x10000, size, 4, 1, 0, 0, 0, 0)
              + struct.pack("<4i", 1024, 768, 270, 203))
    return header + body + eof


# ------------------------------------------------------------------ pictures where programs keep them
def picture(name):
    with open(os.path.join(os.path.dirname(HERE), "images", name), "rb") as f:
        return f.read()


def short_string(text):
    return bytes((len(text),)) + text


def binary_property(name, data):
    return short_string(name) + b"\x0A" + struct.pack("<I", len(data)) + data


def form_picture(kind, data, sized):
    """Picture.Data: the graphic's class name, then for a bitmap or a JPEG its
    size and the whole file, for the others the whole file at once."""
    return short_string(kind) + (struct.pack("<I", len(data)) if sized else b"") + data


def delphi_form():
    """A binary form resource as form designers write it: the form with its
    icon, and three images whose pictures are a bitmap, a PNG and a JPEG."""
    images = [(b"TBitmap", picture("grey8.bmp"), True), (b"TPngImage", picture("badge.png"), False),
              (b"TJPEGImage", picture("card.jpg"), True)]
    out = b"TPF0" + short_string(b"TMainForm") + short_string(b"MainForm")
    out += short_string(b"Left") + b"\x02" + struct.pack("<h", 8)
    out += binary_property(b"Icon.Data", picture("mono.ico")) + b"\0"
    for number, (kind, data, sized) in enumerate(images, 1):
        out += short_string(b"TImage") + short_string(b"Image%d" % number)
        out += binary_property(b"Picture.Data", form_picture(kind, data, sized)) + b"\0\0"
    return out + b"\0"


def vb_form_data():
    """A form's binary data block as one language's runtime keeps it: lengths
    around an "lt" header, then the whole picture file."""
    gif = picture("stamp.gif")
    return struct.pack("<I", len(gif) + 8) + b"lt\0\0" + struct.pack("<I", len(gif)) + gif


def exif_jpeg():
    """A JPEG whose APP1 segment holds an Exif block with a thumbnail, itself a
    whole JPEG: the thumbnail is part of the picture."""
    main, thumbnail = picture("card.jpg"), picture("photo.jpg")
    exif = b"Exif\0\0II*\0" + struct.pack("<I", 8) + struct.pack("<H", 0) + struct.pack("<I", 0)
    segment = exif + thumbnail
    return main[:2] + b"\xFF\xE1" + struct.pack(">H", len(segment) + 2) + segment + main[2:]


def png_icon():
    """An icon file whose one image is a PNG, its entry as the PNG says."""
    png = picture("badge.png")
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 12, 12, 16, 0, 1, 4, len(png),
                                                       22) + png


def main():
    os.makedirs(HERE, exist_ok=True)
    files = {
        "chime.wav": wave([880, 660, 990], 0.45),
        "knock.wav": wave([200, 180], 0.2),
        "square.avi": avi([moving_square(i, 16, (200, 30, 30)) for i in range(6)], 16, 16, 6),
        "bar.avi": avi([growing_bar(i, 12, (30, 160, 60)) for i in range(12)], 12, 12, 8),
        "spoke.ani": ani([spoke_frame(i * math.pi / 4) for i in range(4)], 8),
        "dots.ani": ani([dot_frame(i) for i in range(1, 4)], 12),
        "tune.mid": midi([(60, 1), (64, 1), (67, 1), (72, 2)]),
        "beep.mp3": mp3_frames(3),
        "click.mp3": id3v2_tag("Click") + mp3_frames(3),
        "drip.ogg": ogg_flac(drip(4 * FLAC_BLOCK), 0x50495244),
        "notes.txt": NOTES,
        "tone.mp3": mp3_frames(6),
        "shapes.wmf": wmf(64, 48),
        "shapes.emf": emf(64, 48),
        "form.dfm": delphi_form(),
        "form.frx": vb_form_data(),
        "exif.jpg": exif_jpeg(),
        "pngicon.ico": png_icon(),
    }
    for name, data in files.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
