#!/usr/bin/env python3
"""Writes a module-definition file for a DLL from MinGW's import library of it,
so that dlltool can make a delay-loading import library with the same
functions: every __imp__ symbol of the import library is one export.

delay_import_keep.py then asks the linker for the thunks the program uses.

usage: delay_import_def.py NM IMPORT_LIBRARY DLL_NAME OUTPUT_DEF
"""
import subprocess
import sys


def main(nm, library, dll, output):
    out = subprocess.run([nm, library], check=True, capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        # "00000000 I __imp__InternetOpenA@20": 32-bit names carry one more
        # leading underscore than the function's own.
        if len(parts) == 3 and parts[1] == "I" and parts[2].startswith("__imp__"):
            names.add(parts[2][len("__imp__"):])
    if not names:
        print("delay_import_def.py: no imports in %s" % library, file=sys.stderr)
        return 1
    with open(output, "w") as f:
        f.write("LIBRARY %s\nEXPORTS\n" % dll)
        for name in sorted(names):
            f.write("  %s\n" % name)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
