#!/usr/bin/env python3
"""Makes the LZMA archives the reader's tests read, into OUT_DIR:

  python.zip          Python's zipfile (ZIP_LZMA, end marker, bit 1 set):
                      data.bin, small.txt, empty.txt
  p7zip_marker.zip    7z a -tzip -mm=LZMA of tree/ (the same three files)
  p7zip_nomarker.zip  the same with -mm=LZMA:eos=off
  and broken copies of python.zip, data.bin damaged, small.txt intact:
  flipped.zip         one byte of the stream flipped
  props_length.zip    properties length 4
  dict_4g.zip         dictionary 0xFFFFFFFF claimed (the entry is small)
  dict_4g_big.zip     the same on big.bin, 65 MiB + 1 of zeros
  cut.zip             compressed size cut to half
  declared_short.zip  uncompressed size (and CRC) of all but its last 100 bytes
  declared_long.zip   uncompressed size 100 bytes more than the stream holds

The source files go to OUT_DIR/sources for byte-for-byte checks.

usage: make_lzma_fixtures.py OUT_DIR
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib


def data_bin():
    """Text lines and random bytes in turns: LZMA's matches and literals both."""
    rnd = random.Random(40)
    parts = []
    for i in range(120):
        parts.append(b"".join(b"line %05d of block %03d: %08x\r\n" % (j, i, rnd.getrandbits(32)) for j in range(40)))
        parts.append(bytes(rnd.getrandbits(8) for _ in range(300)))
    return b"".join(parts)


SOURCES = {"data.bin": data_bin(), "small.txt": b"hello, LZMA\r\n" * 30, "empty.txt": b""}


def python_zip(path, entries):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_LZMA) as z:
        for name, data in entries:
            z.writestr(zipfile.ZipInfo(name, (2021, 6, 15, 10, 20, 30)), data, compress_type=zipfile.ZIP_LZMA)


def patched(src, dst, name, change):
    """Copies src to dst, change(data, local, central, data_offset) applied to
    entry name: local and central are the offsets of its two headers."""
    data = bytearray(open(src, "rb").read())
    with zipfile.ZipFile(src) as z:
        info = z.getinfo(name)
    local = info.header_offset
    name_len, extra_len = struct.unpack_from("<HH", data, local + 26)
    central = struct.unpack_from("<I", data, data.rindex(b"PK\x05\x06") + 16)[0]
    while struct.unpack_from("<I", data, central + 42)[0] != local:
        central += 46 + sum(struct.unpack_from("<HHH", data, central + 28))
    change(data, local, central, local + 30 + name_len + extra_len)
    open(dst, "wb").write(bytes(data))


def set_sizes(data, local, central, compressed=None, uncompressed=None, crc=None):
    for header, at in ((local, 14), (central, 16)):
        if crc is not None:
            struct.pack_into("<I", data, header + at, crc)
        if compressed is not None:
            struct.pack_into("<I", data, header + at + 4, compressed)
        if uncompressed is not None:
            struct.pack_into("<I", data, header + at + 8, uncompressed)


def main(out):
    out = os.path.abspath(out)
    os.makedirs(os.path.join(out, "sources"), exist_ok=True)
    for name, data in SOURCES.items():
        open(os.path.join(out, "sources", name), "wb").write(data)
    good = os.path.join(out, "python.zip")
    python_zip(good, SOURCES.items())

    tree = tempfile.mkdtemp(prefix="lzma-tree-")
    try:
        os.makedirs(os.path.join(tree, "tree"))
        for name, data in SOURCES.items():
            open(os.path.join(tree, "tree", name), "wb").write(data)
        for archive, method in (("p7zip_marker.zip", "LZMA"), ("p7zip_nomarker.zip", "LZMA:eos=off")):
            path = os.path.join(out, archive)
            if os.path.exists(path):
                os.remove(path)
            subprocess.run(["7z", "a", "-tzip", "-mm=" + method, path, "tree"], cwd=tree, check=True,
                           stdout=subprocess.DEVNULL)
    finally:
        shutil.rmtree(tree)

    size = len(SOURCES["data.bin"])
    with zipfile.ZipFile(good) as z:
        compressed = z.getinfo("data.bin").compress_size

    def flip(d, l, c, at):
        d[at + compressed // 2] ^= 0x55

    def props_length(d, l, c, at):
        struct.pack_into("<H", d, at + 2, 4)

    def dict_4g(d, l, c, at):
        struct.pack_into("<I", d, at + 5, 0xFFFFFFFF)

    def cut(d, l, c, at):
        set_sizes(d, l, c, compressed=compressed // 2)

    def short(d, l, c, at):
        set_sizes(d, l, c, uncompressed=size - 100, crc=zlib.crc32(SOURCES["data.bin"][:-100]))

    def long(d, l, c, at):
        set_sizes(d, l, c, uncompressed=size + 100)

    for archive, change in (("flipped.zip", flip), ("props_length.zip", props_length), ("dict_4g.zip", dict_4g),
                            ("cut.zip", cut), ("declared_short.zip", short), ("declared_long.zip", long)):
        patched(good, os.path.join(out, archive), "data.bin", change)

    big = os.path.join(out, "big.tmp")
    python_zip(big, [("big.bin", bytes(65 * 1024 * 1024 + 1)), ("small.txt", SOURCES["small.txt"])])
    patched(big, os.path.join(out, "dict_4g_big.zip"), "big.bin", dict_4g)
    os.remove(big)


if __name__ == "__main__":
    main(sys.argv[1])
