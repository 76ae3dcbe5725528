#!/usr/bin/env python3
"""Build step: states how big kvsetup.exe is, beside its payload and its skin
pictures, and what is left for the program itself (the stub).

The payload is resource "ZIP" 146; the skin is the pictures the installer
loads by ID (PNG 154 and 155, bitmaps 161 and 162, icon group 128 with its
icon images). The stub is everything else: code, data, the other resources,
headers and a signature if there is one. Exits 1 when the file cannot be read;
a stub over the limit is reported, and left to the tests to refuse.

usage: size_report.py EXE [--limit-kib N]
"""
import argparse
import struct
import sys

import pe

PAYLOAD = ("ZIP", 146)
SKIN = [("PNG", 154), ("PNG", 155), (pe.RT_BITMAP, 161), (pe.RT_BITMAP, 162), (pe.RT_GROUP_ICON, 128)]
STUB_LIMIT_KIB = 450


def icon_ids(group):
    """IDs of the icon images a group icon resource lists."""
    count = struct.unpack_from("<H", group, 4)[0]
    return [struct.unpack_from("<H", group, 6 + 14 * i + 12)[0] for i in range(count)]


def sizes(path):
    """{"installer", "payload", "skin", "stub", "signature"} in bytes."""
    with open(path, "rb") as f:
        data = f.read()
    image = pe.Pe(data)
    found = {(t, n): d for t, n, _, d in image.resources()}
    skin_keys = [k for k in SKIN if k in found]
    if (pe.RT_GROUP_ICON, 128) in found:
        skin_keys += [(pe.RT_ICON, i) for i in icon_ids(found[(pe.RT_GROUP_ICON, 128)]) if (pe.RT_ICON, i) in found]
    payload = len(found.get(PAYLOAD, b""))
    skin = sum(len(found[k]) for k in skin_keys)
    return {"installer": len(data), "payload": payload, "skin": skin,
            "stub": len(data) - payload - skin, "signature": image.certificate_table[1]}


def report(path, limit_kib=STUB_LIMIT_KIB):
    s = sizes(path)
    stub_kib = s["stub"] / 1024
    verdict = "under the %d KiB limit" % limit_kib if stub_kib < limit_kib else "OVER the %d KiB limit" % limit_kib
    lines = ["%s: %s bytes" % (path, format(s["installer"], ",")),
             "  payload  %11s bytes  (resource ZIP 146)" % format(s["payload"], ","),
             "  skin     %11s bytes  (PNG 154, 155; bitmaps 161, 162; icon 128)" % format(s["skin"], ","),
             "  stub     %11s bytes  = %.1f KiB, %s%s" % (format(s["stub"], ","), stub_kib, verdict,
                                                       "; %s bytes of it the signature" % format(s["signature"], ",")
                                                       if s["signature"] else "")]
    return "\n".join(lines)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--limit-kib", type=int, default=STUB_LIMIT_KIB)
    args = parser.parse_args(argv)
    try:
        print(report(args.exe, args.limit_kib))
    except (OSError, pe.PeError) as e:
        print("error: %s: %s" % (args.exe, e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
