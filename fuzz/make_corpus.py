#!/usr/bin/env python3
"""Writes the fuzzer's seed archives into fuzz/corpus/ (deterministic).

Each seed is small and shows the reader one shape: stored and deflated
entries, folders, "UT" and NTFS extra blocks, a prefix, a comment, a data
descriptor, Unix modes, and an entry encrypted with the password "pw" (the
fuzzer sets that password when the input's last byte is odd).
"""
import lzma
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DOS = (((2021 - 1980) << 9 | 6 << 5 | 15) << 16) | (10 << 11 | 30 << 5 | 10)


def raw_deflate(data):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def encrypt(data, password, check):
    keys = [0x12345678, 0x23456789, 0x34567890]

    def crc(value, byte):
        return zlib.crc32(bytes([byte]), value ^ 0xFFFFFFFF) ^ 0xFFFFFFFF

    def update(c):
        keys[0] = crc(keys[0], c)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = crc(keys[2], keys[1] >> 24)

    for c in password:
        update(c)
    out = bytearray()
    for c in b"0123456789a" + bytes([check]) + data:
        t = (keys[2] & 0xFFFF) | 2
        out.append(c ^ (((t * (t ^ 1)) >> 8) & 0xFF))
        update(c)
    return bytes(out)


def raw_lzma(data, dict_size=1 << 16):
    """ZIP method 14 data: version, properties length, properties, then the
    stream with its end marker."""
    filters = [{"id": lzma.FILTER_LZMA1, "dict_size": dict_size}]
    props = lzma._encode_filter_properties(filters[0])
    stream = lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)
    return bytes([9, 22]) + struct.pack("<H", len(props)) + props + stream


def archive(entries, prefix=b"", comment=b""):
    body, central = b"", b""
    for e in entries:
        name, data = e["name"], e.get("data", b"")
        method, flags = e.get("method", 8), e.get("flags", 0)
        crc = zlib.crc32(data)
        stored = raw_deflate(data) if method == 8 else raw_lzma(data) if method == 14 else data
        if e.get("password"):
            flags |= 1
            check = (DOS >> 8) & 0xFF if flags & 8 else crc >> 24
            stored = encrypt(stored, e["password"], check)
        lcrc, lc, lu = (0, 0, 0) if flags & 8 else (crc, len(stored), len(data))
        lextra, cextra = e.get("local_extra", b""), e.get("central_extra", b"")
        offset = len(body)
        body += struct.pack("<IHHHIIIIHH", 0x04034B50, 20, flags, method, DOS, lcrc, lc, lu, len(name), len(lextra))
        body += name + lextra + stored
        if flags & 8:
            body += struct.pack("<IIII", 0x08074B50, crc, len(stored), len(data))
        central += struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, e.get("made_by", 63), 20, flags, method, DOS, crc,
                               len(stored), len(data), len(name), len(cextra), 0, 0, 0, e.get("external", 0x20), offset)
        central += name + cextra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), len(comment))
    return prefix + body + central + end + comment


def ut(flags, *times):
    data = bytes([flags]) + b"".join(struct.pack("<i", t) for t in times)
    return struct.pack("<HH", 0x5455, len(data)) + data


def text(n, seed):
    words = [b"setup ", b"Kelvane ", b"client ", b"update\n", b"data "]
    out, x = b"", seed
    while len(out) < n:
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out += words[(x >> 16) % len(words)]
    return out[:n]


SEEDS = {
    "empty.zip": archive([]),
    "stored.zip": archive([{"name": b"a.txt", "data": b"hello, world\n", "method": 0}]),
    "deflated.zip": archive([{"name": b"config.ini", "data": text(3000, 1)}]),
    "folders.zip": archive([
        {"name": b"pic/", "method": 0, "external": 0x10},
        {"name": b"pic/a.png", "data": bytes(range(256)) * 4},
        {"name": b"datafile/", "method": 0, "external": 0x10},
        {"name": b"datafile/b.dat", "data": text(500, 2), "central_extra": struct.pack("<HH", 10, 32) + bytes(32)},
    ]),
    "times.zip": archive([
        {"name": b"t7", "data": b"x", "local_extra": ut(7, 1000000000, 1100000000, 1200000000)},
        {"name": b"t1", "data": b"y", "local_extra": struct.pack("<HH", 1, 4) + b"abcd" + ut(1, 1600000000)},
        {"name": b"ntfs", "data": b"z", "local_extra": struct.pack("<HH", 10, 32) + bytes(32)},
    ]),
    "unix.zip": archive([
        {"name": b"bin/run", "data": b"#!/bin/sh\n", "made_by": 0x0314, "external": 0o100755 << 16},
        {"name": b"ro", "data": b"r", "made_by": 0x0314, "external": 0o100444 << 16},
        {"name": b"dir/", "method": 0, "made_by": 0x0314, "external": 0o40755 << 16},
    ]),
    "names.zip": archive([
        {"name": b"C:\\x\\y.txt", "data": b"1"},
        {"name": b"..\\..\\a\\..\\..\\b", "data": b"2"},
        {"name": b"/abs/f", "data": b"3"},
        {"name": b"\x95\x5c..\\x", "data": b"4"},
    ]),
    # UTF-8 names (flag bit 11): converted to GBK before cleaning, or refused.
    "utf8_names.zip": archive([
        {"name": "图片/背景.txt".encode(), "data": b"1", "flags": 0x800},
        {"name": "背\\..\\..\\x".encode(), "data": b"2", "flags": 0x800},
        {"name": b"\xc0\xaf..\xc0\xafy", "data": b"3", "flags": 0x800},
        {"name": "한.txt".encode(), "data": b"4", "flags": 0x800},
        {"name": "说明.txt".encode("gbk"), "data": b"5"},
    ]),
    "prefix_comment.zip": archive([{"name": b"p.txt", "data": text(200, 3)}], prefix=b"MZ" + bytes(510),
                                  comment=b"comment " * 40),
    "descriptor.zip": archive([{"name": b"d.txt", "data": text(800, 4), "flags": 8}]),
    "encrypted.zip": archive([
        {"name": b"e.txt", "data": text(400, 5), "password": b"pw"},
        {"name": b"s.txt", "data": b"stored secret", "method": 0, "password": b"pw"},
    ], comment=b"\x01"),
    # LZMA entries (method 14) with their end marker (flag bit 1).
    "lzma.zip": archive([
        {"name": b"l.txt", "data": text(3000, 7), "method": 14, "flags": 2},
        {"name": b"empty", "data": b"", "method": 14, "flags": 2},
        {"name": b"bytes", "data": bytes(range(256)) * 8, "method": 14},
    ]),
    "lzma_encrypted.zip": archive([{"name": b"le.txt", "data": text(500, 8), "method": 14, "password": b"pw"}],
                                  comment=b"\x01"),
    "large.zip": archive([{"name": b"big.txt", "data": text(40000, 6)}, {"name": b"empty", "data": b""}]),
}


def main():
    out = os.path.join(HERE, "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
