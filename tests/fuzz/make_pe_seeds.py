#!/usr/bin/env python3
"""Writes the seeds of fuzz_pe into tests/fuzz/corpus/pe: two small modules
linked as the build links its fixture module (resources only, no entry point),
32- and 64-bit, holding a few of the sample pictures by integer and by string
name; the build's fixture module cut after 8 KiB (its directory whole, most of
its data past the end); and crafted damage of the 32-bit one: the file cut
inside its root directory, a data entry pointing outside the file, a name
entry pointing back at the root, and a directory of names counting 0xFFFF
entries. Run after a build (PELNORE_BUILD names another build folder)."""
import os
import struct
import subprocess
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
build = os.path.join(root, os.environ.get("PELNORE_BUILD", "build"))
out = os.path.join(here, "corpus", "pe")
images = os.path.join(root, "samples", "images")
RC = """1 ICON "{0}/mono.ico"
ARROW CURSOR "{0}/arrow.cur"
1 BITMAP "{0}/rgb3x2.bmp"
2 BITMAP "{0}/rle4.bmp"
LOGO PNG "{0}/badge.png"
"""


def link(arch, work):
    rc, obj, dll = (os.path.join(work, arch + ext) for ext in (".rc", ".o", ".dll"))
    with open(rc, "w") as f:
        f.write(RC.format(images))
    subprocess.check_call([arch + "-w64-mingw32-windres", "-c", "65001", "-i", rc, "-o", obj])
    subprocess.check_call([arch + "-w64-mingw32-gcc", "-shared", "-nostdlib", "-s",
                           "-Wl,--entry=0", obj, "-o", dll])
    with open(dll, "rb") as f:
        return bytearray(f.read())


def resource_root(data):
    """File offset of the root directory, through the section that holds it."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    rva = struct.unpack_from("<I", data, optional + 96 + 16)[0]  # a PE32 header
    for i in range(sections):
        address, raw_size, raw = struct.unpack_from("<III", data, optional + optional_size
                                                    + 40 * i + 12)
        if address <= rva < address + raw_size:
            return raw + rva - address


def entry(data, base, directory, ident):
    """File offset of the entry of the integer ident in a directory."""
    named, ids = struct.unpack_from("<HH", data, base + directory + 12)
    for i in range(named + ids):
        at = base + directory + 16 + 8 * i
        if struct.unpack_from("<I", data, at)[0] == ident:
            return at


def subdirectory(data, at):
    return struct.unpack_from("<I", data, at + 4)[0] & 0x7FFFFFFF


def put(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


os.makedirs(out, exist_ok=True)
with tempfile.TemporaryDirectory() as work:
    small = link("i686", work)
    put("small32", small)
    put("small64", link("x86_64", work))
with open(os.path.join(build, "tests", "fixtures", "fixture.dll"), "rb") as f:
    put("fixture_8k", f.read(8192))

base = resource_root(small)
bitmaps = subdirectory(small, entry(small, base, 0, 2))
first = entry(small, base, bitmaps, 1)
language = subdirectory(small, first)
put("root_cut", small[:base + 8])
damaged = bytearray(small)
struct.pack_into("<I", damaged, base + subdirectory(small, base + language + 16), 0x7FFFFFF0)
put("data_outside", damaged)
damaged = bytearray(small)
struct.pack_into("<I", damaged, first + 4, 0x80000000)
put("name_loop", damaged)
damaged = bytearray(small)
struct.pack_into("<H", damaged, base + bitmaps + 14, 0xFFFF)
put("count_ffff", damaged)
