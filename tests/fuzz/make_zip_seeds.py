#!/usr/bin/env python3
"""Writes the seeds of fuzz_zip into corpus/zip, archives of known members; with
--check PROGRAM (fuzz_zip built with ZIP_ACCOUNT), compares its account of each."""
import io
import os
import subprocess
import sys
import zipfile

TEXT = b"pelnore writes the pictures and sounds of program files.\r\n" * 12
PLAIN = [("readme.txt", TEXT, zipfile.ZIP_DEFLATED), ("table.bin", bytes(range(256)) * 3, 0)]
OK = [(name, data, "ok") for name, data, _ in PLAIN]
# One change to each member's directory record: the field, the change, the result.
DAMAGE = [("badcrc", "CRC", lambda v: v ^ 1, "CRC mismatch"),
          ("cut", "compress_size", lambda v: v // 2, "short data"),
          ("short", "file_size", lambda v: v + 1, "short data"),
          ("long", "file_size", lambda v: v - 1, "long data"),
          ("badstream", "compress_type", lambda v: 8, "bad stream"),  # a stored member
          ("encrypted", "flag_bits", lambda v: v | 1, "encrypted"),
          ("bzip2", "compress_type", lambda v: 12, "unsupported method"),
          ("far", "header_offset", lambda v: 0x7FFFFFF0, "no data")]


def archive(members, change=lambda infos: None):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, method in members:
            z.writestr(zipfile.ZipInfo(name, (2020, 2, 29, 12, 0, 0)), data, method)
        change(z.infolist())
    return out.getvalue()


def account(start, members):
    return ["start %d" % start] + ["%s %d %s %s" % (
        name.encode().hex(), not name.isascii(), data.hex() if result == "ok" else "-", result)
        for name, data, result in members]


def seeds():  # (name, archive, fuzz_zip's account of it)
    folders = archive(PLAIN + [("folder/", b"", 0), ("folder/empty", b"", 8)])
    stub = b"MZ" + bytes(range(200)) * 3
    yield "stored_deflated", folders, account(0, OK + [("folder/empty", b"", "ok")])
    yield "selfextractor", stub + folders, account(len(stub), OK + [("folder/empty", b"", "ok")])
    yield "cut", folders[: len(folders) * 2 // 3], []
    yield "utf8", archive([("Größe.txt", TEXT, 8)]), account(0, [("Größe.txt", TEXT, "ok")])
    limit, zipfile.ZIP64_LIMIT = zipfile.ZIP64_LIMIT, 0  # every size and offset in ZIP64 fields
    big = archive(PLAIN)[:-22] + b"PK\5\6" + bytes(4) + b"\xff" * 12 + bytes(2)
    zipfile.ZIP64_LIMIT = limit
    yield "zip64", stub + big, account(len(stub), OK)
    damaged = bytearray(archive([(n, TEXT, 8) if n != "badstream" else (n, PLAIN[1][1], 0)
                                 for n, _, _, _ in DAMAGE] + PLAIN, lambda infos: [
        setattr(i, f, change(getattr(i, f))) for i, (_, f, change, _) in zip(infos, DAMAGE)]))
    at = damaged.rfind(b"PK\1\2") + 28
    damaged[at:at + 2] = b"\xff\xff"  # the last entry's name runs past the directory's end
    yield "damaged", bytes(damaged), account(0, [(n, b"", r) for n, _, _, r in DAMAGE] + OK[:1])
    # Forty entries naming one member's 64 KiB: fuzz_zip's budget stops them.
    bomb = archive([("bomb", bytes(65536), 8)], lambda infos: infos.extend(infos * 39))
    cost = 65536 + zipfile.ZipFile(io.BytesIO(bomb)).infolist()[0].compress_size
    done = (16 * len(bomb) + (256 << 10)) // cost
    yield "bomb", bomb, account(0, [("bomb", bytes(65536), "ok")] * done + [
        ("bomb", b"", "over budget")] * (40 - done))


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "zip")
    os.makedirs(folder, exist_ok=True)
    failed = 0
    for name, data, expected in seeds():
        if len(sys.argv) < 3:
            open(os.path.join(folder, name), "wb").write(data)
            continue
        got = subprocess.run(sys.argv[2:3], input=data, capture_output=True, check=True).stdout
        if got.decode().splitlines() != expected:
            failed = print("fuzz_zip's account of %s is not what it holds" % name) or 1
    return failed


if __name__ == "__main__":
    sys.exit(main())
