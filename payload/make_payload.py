#!/usr/bin/env python3
"""Packs the sample payload: the archive that kvsetup.exe carries as resource
"ZIP" 146 in builds made from this tree.

The archive is written field by field (struct + raw deflate) so that its shape
is exact and reproducible: every entry has flags 0; files are deflated
(method 8, version needed 20), folders stored (method 0, version needed 10,
size 0, external attributes 0x10, names ending in '/'); version made by 63
(MS-DOS host); every central header carries one 32-byte NTFS extra block and
the local headers carry none; DOS times come from fixed values, not the clock.

usage: make_payload.py OUT.zip --exe kvClient.exe=PATH --exe kvUpdate.exe=PATH
                       --exe kv_Uninstall.exe=PATH
                       [--bad-crc NAME] [--comment-size N] [--bulk N] [--version TEXT]
                       [--chinese-names] [--big N] [--next] [--big-files N:SIZE]
                       [--noise N] [--as-folder]

With --as-folder, OUT is a folder that gets the files and folders instead,
each with its entry's time, for `kvzip pack` to make the archive.

Names are ASCII, except with --chinese-names: 说明.txt is stored in GBK
without a flag (as Windows' own zip writes names), 图片/背景.txt and its
folder in UTF-8 with general-purpose bit 11 (as Info-ZIP and 7-Zip do).
"""
import argparse
import datetime
import os
import random
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
VERSION = b"1.4.3"
VERSION_MADE_BY = 63  # host 0 (MS-DOS), format version 6.3
# Times of the entries: the first at this moment, each next one 2 minutes
# later. Read back as local time by the installer (UTC in the tests).
FIRST_TIME = datetime.datetime(2021, 6, 15, 10, 20, 30)

FOLDER = "folder"


def generated_data(seed, size):
    """Deterministic filler: numbered lines, compressible but not trivial."""
    lines = []
    total = 0
    n = 0
    while total < size:
        line = b"%s %06d %08x\r\n" % (seed.encode(), n, zlib.crc32(b"%s%d" % (seed.encode(), n)))
        lines.append(line)
        total += len(line)
        n += 1
    return b"".join(lines)[:size]


def tiny_bitmap():
    """A 2x2 24-bit BMP."""
    pixels = bytes([0, 0, 255, 0, 255, 0, 0, 0]) + bytes([255, 0, 0, 255, 255, 255, 0, 0])
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


# The next version's changes to the sample (--next): what it changes, what
# it drops and what it adds; everything else it carries as it was.
NEXT_CHANGED = {
    "readme.txt": lambda data: data + b"1.4.4: faster start.\r\n",
    "datafile/strings.txt": lambda data: generated_data("string-next", 1300),
}
NEXT_DROPPED = ["pic/logo.bmp", "videoPicture/thumb/index.txt"]
NEXT_ADDED = [("datafile/extra.dat", generated_data("extra", 7000), 0x20), ("news/", FOLDER, 0x10),
              ("news/today.txt", b"Kelvane 1.4.4\r\n", 0x20)]


def layout(exes, version_text=VERSION, next_version=False):
    """(name, data or FOLDER, external attributes) in archive order."""
    read = lambda name: open(os.path.join(HERE, "files", name), "rb").read()
    entries = [
        ("config.ini", read("config.ini"), 0x20),
        ("version.data", None, 0x2020),  # filled in below: it lists the others
        ("kvClient.exe", exes["kvClient.exe"], 0x20),
        ("kvUpdate.exe", exes["kvUpdate.exe"], 0x2020),
        ("kv_Uninstall.exe", exes["kv_Uninstall.exe"], 0x20),
        ("readme.txt", read("readme.txt"), 0x2020),
        ("datafile/", FOLDER, 0x10),
        ("datafile/regions.dat", generated_data("region", 50000), 0x2020),
        ("datafile/strings.txt", generated_data("string", 1200), 0x20),
        ("pic/", FOLDER, 0x10),
        ("pic/logo.bmp", tiny_bitmap(), 0x20),
        ("videoPicture/", FOLDER, 0x10),
        ("videoPicture/small/", FOLDER, 0x10),
        ("videoPicture/small/frame01.dat", generated_data("small", 3000), 0x2020),
        ("videoPicture/large/", FOLDER, 0x10),
        ("videoPicture/large/frame01.dat", generated_data("large", 20000), 0x20),
        ("videoPicture/wide/", FOLDER, 0x10),  # stays empty
        ("videoPicture/thumb/", FOLDER, 0x10),
        ("videoPicture/thumb/index.txt", b"frame01.dat\r\n", 0x2020),
        ("kvRuntime.assembly/", FOLDER, 0x10),
        ("kvRuntime.assembly/kvRuntime.manifest", generated_data("manifest", 600), 0x20),
    ]
    if next_version:
        entries = [(n, NEXT_CHANGED[n](d) if n in NEXT_CHANGED else d, a) for n, d, a in entries
                   if n not in NEXT_DROPPED] + NEXT_ADDED
    files = [name for name, data, _ in entries if data is not FOLDER]
    listing = "".join(name + "\r\n" for name in files).encode("ascii")
    version = version_text.ljust(32, b"\0") + listing
    return [(n, version if n == "version.data" else d, a) for n, d, a in entries]


def dos_time(moment):
    date = ((moment.year - 1980) << 9) | (moment.month << 5) | moment.day
    time = (moment.hour << 11) | (moment.minute << 5) | (moment.second // 2)
    return time, date


def ntfs_extra(moment):
    """NTFS extra block (0x000A): reserved, tag 1 with write/access/creation times."""
    ticks = int((moment - datetime.datetime(1601, 1, 1)).total_seconds()) * 10_000_000
    body = struct.pack("<IHHQQQ", 0, 1, 24, ticks, ticks, ticks)
    return struct.pack("<HH", 0x000A, len(body)) + body


UTF8_FLAG = 0x0800  # general-purpose bit 11: the name is UTF-8
CHINESE_ENTRIES = [("说明.txt", "gbk"), ("图片/", "utf-8"), ("图片/背景.txt", "utf-8")]


def name_bytes(name):
    """(stored name, flags) of an entry name."""
    encoding = dict(CHINESE_ENTRIES).get(name, "ascii")
    return name.encode(encoding), UTF8_FLAG if encoding == "utf-8" else 0


def build(entries, bad_crc=None, comment=b""):
    out = bytearray()
    central = bytearray()
    for i, (name, data, attributes) in enumerate(entries):
        raw_name, flags = name_bytes(name)
        moment = FIRST_TIME + datetime.timedelta(minutes=2 * i)
        time, date = dos_time(moment)
        if data is FOLDER:
            method, needed, crc, packed, size = 0, 10, 0, b"", 0
        else:
            deflater = zlib.compressobj(9, zlib.DEFLATED, -15)
            packed = deflater.compress(data) + deflater.flush()
            method, needed, crc, size = 8, 20, zlib.crc32(data), len(data)
        if name == bad_crc:
            crc ^= 0x00010000  # the data stay intact; only the record is wrong
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, needed, flags, method, time, date,
                           crc, len(packed), size, len(raw_name), 0)
        out += raw_name + packed
        extra = ntfs_extra(moment)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, VERSION_MADE_BY, needed, flags, method,
                               time, date, crc, len(packed), size, len(raw_name), len(extra), 0,
                               0, 0, attributes, offset)
        central += raw_name + extra
    directory_offset = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central),
                       directory_offset, len(comment))
    out += comment
    return bytes(out)


def write_folder(entries, root):
    """The entries as files and folders below root, each with its entry's time."""
    os.makedirs(root)
    stamps = []
    for i, (name, data, attributes) in enumerate(entries):
        path = os.path.join(root, *name.rstrip("/").split("/"))
        if data is FOLDER:
            os.makedirs(path, exist_ok=True)
        else:
            with open(path, "wb") as f:
                f.write(data)
        stamps.append((path, (FIRST_TIME + datetime.timedelta(minutes=2 * i)).timestamp()))
    for path, stamp in reversed(stamps):  # a folder's time after its files are in
        os.utime(path, (stamp, stamp))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--exe", action="append", default=[], metavar="NAME=PATH")
    parser.add_argument("--bad-crc", metavar="NAME", help="record a wrong CRC-32 for this entry")
    parser.add_argument("--comment-size", type=int, default=0, help="add an archive comment this long")
    parser.add_argument("--bulk", type=int, default=0, metavar="N",
                        help="add a folder bulk/ with N more files, so that unpacking takes a while")
    parser.add_argument("--version", default=VERSION.decode("ascii"),
                        help="version text at the head of version.data (empty: none); default %(default)s")
    parser.add_argument("--chinese-names", action="store_true",
                        help="add 说明.txt (GBK name) and 图片/背景.txt (UTF-8 name, bit 11)")
    parser.add_argument("--big", type=int, default=0, metavar="N",
                        help="add datafile/big.bin of N zero bytes: large to unpack, small to carry")
    parser.add_argument("--next", action="store_true",
                        help="the next version's files: some changed, two dropped, some added (see NEXT_*)")
    parser.add_argument("--big-files", metavar="N:SIZE",
                        help="add big/NN/data.bin, N files of SIZE zero bytes each, one folder each")
    parser.add_argument("--noise", type=int, default=0, metavar="N",
                        help="add datafile/noise.bin of N random bytes, which no coder makes smaller")
    parser.add_argument("--as-folder", action="store_true", help="write OUT as a folder, not an archive")
    args = parser.parse_args(argv)
    exes = {}
    for item in args.exe:
        name, _, path = item.partition("=")
        with open(path, "rb") as f:
            exes[name] = f.read()
    missing = {"kvClient.exe", "kvUpdate.exe", "kv_Uninstall.exe"} - exes.keys()
    if missing:
        parser.error("missing --exe for " + ", ".join(sorted(missing)))
    entries = layout(exes, args.version.encode("ascii"), args.next)
    if args.bulk:
        entries.append(("bulk/", FOLDER, 0x10))
        entries += [("bulk/f%04d.dat" % i, generated_data("bulk%d" % i, 8000), 0x20) for i in range(args.bulk)]
    if args.chinese_names:
        entries += [(name, FOLDER if name.endswith("/") else ("%s\r\n" % name).encode("gbk"),
                     0x10 if name.endswith("/") else 0x20) for name, _ in CHINESE_ENTRIES]
    if args.big:
        entries.append(("datafile/big.bin", bytes(args.big), 0x20))
    if args.big_files:
        count, size = (int(x) for x in args.big_files.split(":"))
        entries.append(("big/", FOLDER, 0x10))
        for i in range(count):
            entries += [("big/%02d/" % i, FOLDER, 0x10), ("big/%02d/data.bin" % i, bytes([i]) * size, 0x20)]
    if args.noise:
        entries.append(("datafile/noise.bin", random.Random(args.noise).randbytes(args.noise), 0x20))
    if args.as_folder:
        write_folder(entries, args.output)
        return
    if args.bad_crc and args.bad_crc not in [n for n, _, _ in entries]:
        parser.error("no entry named " + args.bad_crc)
    comment = generated_data("comment", args.comment_size) if args.comment_size else b""
    data = build(entries, args.bad_crc, comment)
    tmp = args.output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, args.output)


if __name__ == "__main__":
    main(sys.argv[1:])
