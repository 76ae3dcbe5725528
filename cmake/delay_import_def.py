#!/usr/bin/env python3
"""Writes a module-definition file for a DLL from MinGW's import library of it,
so that dlltool can make a delay-loading import library with the same
functions: every __imp_ symbol of the import library is one export.

delay_import_keep.py then asks the linker for the thunks the program uses.

usage: delay_import_def.py NM PREFIX IMPORT_LIBRARY DLL_NAME OUTPUT_DEF

PREFIX is what the target puts before a C name: "_" on i686, "-" (none) on
x86-64.
"""
import subprocess
import sys


def main(nm, prefix, library, dll, output):
    imp = "__imp_" + prefix.strip("-")
    out = subprocess.run([nm, library], check=True, capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        # "00000000 I __imp__InternetOpenA@20" (i686: the C name's own
        # underscore and stdcall's "@n"), "0000000000000000 I __imp_InternetOpenA".
        if len(parts) == 3 and parts[1] == "I" and parts[2].startswith(imp):
            names.add(parts[2][len(imp):])
    if not names:
        print("delay_import_def.py: no imports in %s" % library, file=sys.stderr)
        return 1
    with open(output, "w") as f:
        f.write("LIBRARY %s\nEXPORTS\n" % dll)
        for name in sorted(names):
            f.write("  %s\n" % name)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
