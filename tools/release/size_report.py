#!/usr/bin/env python3
"""Build step: states how big kvsetup.exe is, what its resource section holds
(the payload, the skin pictures, the rest), and what the program itself takes
outside it (the stub), by section and, from the link map, by library or
source folder.

The LZMA decoder (the SDK's LzmaDec.c and zip_lzma.cpp) has a line of its
own in the breakdown. The payload is resource "ZIP" 146; the skin is the pictures the installer
loads by ID (PNG 154 and 155, bitmaps 161 and 162, icon group 128 with its
icon images, and the 1.5x and 2x PNGs of the first four). The stub is the file less the raw size of .rsrc: code, data,
unwind tables, imports, relocations, headers, and a signature if there is
one. Exits 1 when the file cannot be read; a stub over the limit is reported,
and left to the tests to refuse.

usage: size_report.py EXE [--map LINK.map] [--limit-kib N]
"""
import argparse
import collections
import os
import re
import struct
import sys

import pe

PAYLOAD = ("ZIP", 146)
SKIN = [("PNG", 154), ("PNG", 155), (pe.RT_BITMAP, 161), (pe.RT_BITMAP, 162), (pe.RT_GROUP_ICON, 128)]
# The 1.5x and 2x sets of the pictures, PNGs at the 1x ID plus 1000 and 2000.
SKIN += [("PNG", set_offset + n) for set_offset in (1000, 2000) for n in (154, 155, 161, 162)]
STUB_LIMIT_KIB = 256

# Static libraries by what a reader knows them as; anything else keeps its
# file name. Import libraries of system DLLs (their stubs, thunks and name
# tables) count together.
LIBRARIES = {"libstdc++.a": "libstdc++", "libsupc++.a": "libstdc++", "libz.a": "zlib",
             "libwinpthread.a": "winpthreads", "libpthread.a": "winpthreads",
             "libgcc.a": "libgcc", "libgcc_eh.a": "libgcc unwinder", "libmingwex.a": "libmingwex",
             "libmingw32.a": "libmingw32", "libmsvcrt.a": "libmsvcrt", "libuuid.a": "libuuid (GUIDs)"}
IMPORT_MEMBER = re.compile(r"^(lib\w+?(s\d+|h|t)|d\d+|.*_iname)\.o$")
# The LZMA entries' decoder counts apart from the rest of its folder: the
# SDK's LzmaDec.c and the reader's stream over it.
LZMA_DECODER = re.compile(r"^(LzmaDec\.c|zip_lzma\.cpp)\.obj$")


def icon_ids(group):
    """IDs of the icon images a group icon resource lists."""
    count = struct.unpack_from("<H", group, 4)[0]
    return [struct.unpack_from("<H", group, 6 + 14 * i + 12)[0] for i in range(count)]


def sizes(path):
    """{"installer", "resources", "payload", "skin", "stub", "signature", "sections"} in bytes;
    "sections" lists (name, raw size) of the sections outside .rsrc, the headers first."""
    with open(path, "rb") as f:
        data = f.read()
    image = pe.Pe(data)
    found = {(t, n): d for t, n, _, d in image.resources()}
    skin_keys = [k for k in SKIN if k in found]
    if (pe.RT_GROUP_ICON, 128) in found:
        skin_keys += [(pe.RT_ICON, i) for i in icon_ids(found[(pe.RT_GROUP_ICON, 128)]) if (pe.RT_ICON, i) in found]
    resources = sum(rsize for name, _, _, rsize, _ in image.sections if name == ".rsrc")
    first = min((raw for _, _, _, rsize, raw in image.sections if rsize), default=len(data))
    sections = [("headers", first)] + [(name, rsize) for name, _, _, rsize, _ in image.sections
                                       if name != ".rsrc" and rsize]
    signature = image.certificate_table[1]
    if signature:
        sections.append(("signature", signature))
    # File alignment after a section whose raw size is not a multiple of it
    # (.rsrc's is exact), and anything appended past the last section.
    rest = len(data) - resources - sum(size for _, size in sections)
    if rest:
        sections.append(("between sections", rest))
    return {"installer": len(data), "resources": resources, "payload": len(found.get(PAYLOAD, b"")),
            "skin": sum(len(found[k]) for k in skin_keys), "stub": len(data) - resources,
            "signature": signature, "sections": sections}


def origin(file):
    """What an input file of the link counts as: a library or the source folder."""
    archive, _, member = file.partition("(")
    member = member.rstrip(")")
    base = os.path.basename(archive)
    if archive == "dll stuff":  # what ld makes itself: the base relocations
        return "relocations"
    if LZMA_DECODER.match(member or base):
        return "LZMA decoder"
    if not os.path.isabs(archive):  # the project's own objects, relative to the build folder
        if "delayimp" in archive.split("/"):
            return "delay-load imports"
        folder = os.path.dirname(re.sub(r"CMakeFiles/[^/]+\.dir/", "", archive))
        return folder or base
    if base in LIBRARIES:
        return LIBRARIES[base]
    if "delayimp" in archive.split("/"):
        return "delay-load imports"
    if member and IMPORT_MEMBER.match(member):
        return "DLL imports"
    if not member:
        return "start-up objects" if base.startswith("crt") else base
    return base


def map_breakdown(path):
    """{origin: bytes} of the input sections GNU ld placed in the file outside
    .rsrc, from its -Map file; alignment fill counts as "padding"."""
    out = collections.Counter()
    section = None
    pending = None  # an input section name the linker wrapped onto its own line
    entry = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)(?:\s+(\S.*?))?\s*$")
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = iter(f)
        for line in lines:
            if line.startswith("Linker script and memory map"):
                break
        for line in lines:
            line = line.rstrip("\n")
            if line[:1] not in ("", " "):
                section = line.split()[0]
                pending = None
                continue
            # .bss takes memory, not bytes of the file.
            if section in (None, ".rsrc", ".bss") or section.startswith((".debug", ".zdebug", ".stab")):
                continue
            if pending is None and re.match(r"^ [.*]\S*$", line) and not line.startswith(" *("):
                pending = line.strip()
                continue
            m = entry.match(line)
            if not m:
                pending = None
                continue
            name = m.group(1) or pending
            pending = None
            size = int(m.group(3), 16)
            if name is None or name.startswith("*(") or not size:
                continue
            if name == "*fill*":
                out["padding"] += size
            elif m.group(4):
                out[origin(m.group(4).strip())] += size
    return out


def report(path, limit_kib=STUB_LIMIT_KIB, map_path=None):
    s = sizes(path)
    stub_kib = s["stub"] / 1024
    verdict = "at most the %d KiB limit" % limit_kib if s["stub"] <= limit_kib * 1024 \
        else "OVER the %d KiB limit" % limit_kib
    n = lambda v: format(v, ",")  # noqa: E731
    other = s["resources"] - s["payload"] - s["skin"]
    lines = ["%s: %s bytes" % (path, n(s["installer"])),
             "  .rsrc    %11s bytes  (payload ZIP 146: %s; skin PNG 154, 155, bitmaps 161, 162, icon 128, 1.5x and 2x PNGs: %s; "
             "other resources and alignment: %s)" % (n(s["resources"]), n(s["payload"]), n(s["skin"]), n(other)),
             "  stub     %11s bytes  = %.1f KiB, %s: everything outside .rsrc" % (n(s["stub"]), stub_kib, verdict),
             "    by section:"]
    lines += ["      %-18s %9s" % (name, n(size)) for name, size in s["sections"]]
    if map_path:
        parts = map_breakdown(map_path)
        lines.append("    by library or folder (link map, bytes placed before the file's alignment):")
        lines += ["      %-24s %9s" % (name, n(size)) for name, size in parts.most_common()]
    return "\n".join(lines)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--map", help="the linker's -Map file for the breakdown by library or folder")
    parser.add_argument("--limit-kib", type=int, default=STUB_LIMIT_KIB)
    args = parser.parse_args(argv)
    try:
        print(report(args.exe, args.limit_kib, args.map))
    except (OSError, pe.PeError) as e:
        print("error: %s: %s" % (args.exe, e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
