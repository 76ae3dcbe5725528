#!/usr/bin/env python3
"""Build step, the last one: signs kvsetup.exe with a SHA-256 Authenticode
signature through osslsigncode.

The key's password is read from a file by osslsigncode itself, so it never
appears on a command line. When signing fails the unsigned file is removed:
what is left of a release build is signed or absent, and the next build
links and signs it again.

usage: sign.py OSSLSIGNCODE EXE PKCS12 PASSWORD_FILE [TIMESTAMP_URL]
"""
import os
import subprocess
import sys


def main(tool, exe, pkcs12, password_file, timestamp_url=""):
    signed = exe + ".signing"
    cmd = [tool, "sign", "-pkcs12", pkcs12, "-readpass", password_file, "-h", "sha256",
           "-n", "Kelvane Setup", "-in", exe, "-out", signed]
    if timestamp_url:
        cmd += ["-ts", timestamp_url]
    r = subprocess.run(cmd, capture_output=True, text=True)
    if r.returncode != 0 or not os.path.isfile(signed):
        print("error: signing %s with %s failed (osslsigncode exit status %d); the unsigned file was removed:"
              % (exe, pkcs12, r.returncode), file=sys.stderr)
        for line in (r.stdout + r.stderr).strip().splitlines():
            print("  " + line, file=sys.stderr)
        for path in (signed, exe):
            if os.path.exists(path):
                os.remove(path)
        return 1
    os.replace(signed, exe)
    print("Signed %s (SHA-256 Authenticode%s)" % (exe, ", time-stamped by " + timestamp_url if timestamp_url else ""))
    return 0


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
