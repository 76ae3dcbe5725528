#!/usr/bin/env python3
"""Writes the linker response file that asks for the thunk of every
delay-loaded function the program calls, and no others.

ld (binutils 2.40) drops the thunk of a delay-loaded function that the
program calls only through its __imp_ pointer (every function its header
declares dllimport) and leaves that pointer 0, so each used thunk is asked
for by name (-u). Asking for every export of the DLLs instead would link a
few hundred unused thunks (about 80 KB).

The used functions are the undefined __imp_ symbols of the objects and
static libraries under SCAN_DIR (the program's own and its libraries', all
built before the link) that one of the DEF files exports.

usage: delay_import_keep.py NM PREFIX OUTPUT SCAN_DIR DEF...

PREFIX is what the target puts before a C name: "_" on i686, "-" (none) on
x86-64.
"""
import os
import subprocess
import sys


def exports(def_file):
    with open(def_file) as f:
        lines = [line.strip() for line in f]
    return set(lines[lines.index("EXPORTS") + 1:]) - {""}


def main(nm, prefix, output, scan_dir, *defs):
    prefix = prefix.strip("-")
    imp = "__imp_" + prefix
    exported = set().union(*(exports(d) for d in defs))
    files = [os.path.join(top, name) for top, _, names in os.walk(scan_dir) for name in sorted(names)
             if name.endswith((".a", ".obj"))]
    used = set()
    if files:
        out = subprocess.run([nm, "--undefined-only", "--no-sort", *files], capture_output=True, text=True).stdout
        for line in out.split("\n"):
            parts = line.split()
            if len(parts) == 2 and parts[0] == "U" and parts[1].startswith(imp):
                used.add(parts[1][len(imp):])
    wanted = sorted(used & exported)
    text = "".join("-u %s%s\n" % (prefix, name) for name in wanted)
    # Unchanged text, unchanged file: no relink for nothing.
    if not os.path.exists(output) or open(output).read() != text:
        with open(output, "w") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 6:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
