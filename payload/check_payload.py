#!/usr/bin/env python3
"""Build step: refuses an archive that kvsetup.exe could not install.

Runs `kvzip check ARCHIVE` (the host build of kvzip.exe's own checker) and
touches STAMP when the archive passes. Otherwise it prints kvzip's problem
lines and fails, which stops the build.

usage: check_payload.py KVZIP ARCHIVE STAMP [SHOWN_NAME]
"""
import os
import subprocess
import sys


def main(kvzip, archive, stamp, shown=None):
    if not os.path.isfile(archive):
        print("error: payload archive %s does not exist" % archive, file=sys.stderr)
        return 1
    r = subprocess.run([kvzip, "check", archive], capture_output=True)
    if r.returncode != 0:
        out = r.stdout.decode("gbk", "replace").rstrip()
        err = r.stderr.decode("gbk", "replace").rstrip()
        lines = (out + "\n" + err).strip().splitlines()
        if len(lines) == 1:  # one reason (an archive too large, say): one line
            reason = lines[0][len("archive\t"):] if lines[0].startswith("archive\t") else lines[0]
            print("error: kvsetup cannot install the payload archive %s: %s"
                  % (shown or archive, reason.replace("\t", ": ")), file=sys.stderr)
            return 1
        print("error: kvsetup cannot install the payload archive %s (kvzip check exit status %d):"
              % (shown or archive, r.returncode), file=sys.stderr)
        for line in lines:
            print("  " + line, file=sys.stderr)
        return 1
    # Warnings (entries a reinstall could not replace) do not stop the build.
    for line in r.stderr.decode("gbk", "replace").strip().splitlines():
        print("%s: %s" % (shown or archive, line), file=sys.stderr)
    with open(stamp, "w") as f:
        f.write("checked\n")
    return 0


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
