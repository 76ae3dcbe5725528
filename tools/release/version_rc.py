#!/usr/bin/env python3
"""Build step: writes kvsetup's version resource from its template.

The version is the one given with --version (KV_VERSION), or else the text
the installed client reads as its version: the first 32 bytes of the
payload's version.data, up to the first NUL, without surrounding blanks.
Either way it must be N.N.N or N.N.N.N with each N from 0 to 65535 (the
four 16-bit numbers of a Windows file version); anything else stops the
build with a message that says which text was refused and where it came from.

usage: version_rc.py TEMPLATE OUTPUT (--version TEXT | --payload ARCHIVE)
"""
import argparse
import os
import re
import sys
import zipfile

FORM = "N.N.N or N.N.N.N (each N a number from 0 to 65535)"


class VersionError(ValueError):
    pass


def numbers(text):
    """The four numbers of a version text, or VersionError."""
    if not re.fullmatch(r"[0-9]{1,5}(\.[0-9]{1,5}){2,3}", text) or any(int(n) > 65535 for n in text.split(".")):
        raise VersionError("%r is not a version of the form %s" % (text, FORM))
    parts = [int(n) for n in text.split(".")]
    return parts + [0] * (4 - len(parts))


def payload_version(archive):
    """The version text of the payload's version.data."""
    try:
        with zipfile.ZipFile(archive) as z:
            raw = z.read("version.data")[:32]
    except KeyError:
        raise VersionError("%s has no version.data; set -DKV_VERSION=N.N.N" % archive)
    except (OSError, zipfile.BadZipFile) as e:
        raise VersionError("cannot read version.data of %s: %s" % (archive, e))
    text = raw.split(b"\0", 1)[0].decode("latin-1").strip()
    try:
        numbers(text)
    except VersionError as e:
        raise VersionError("version.data of %s: %s; fix the archive or set -DKV_VERSION=N.N.N" % (archive, e))
    return text


def write(template, output, version):
    with open(template, encoding="ascii") as f:
        text = f.read()
    text = text.replace("@NUMBERS@", ",".join(map(str, numbers(version)))).replace("@VERSION@", version)
    tmp = output + ".tmp"
    with open(tmp, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    os.replace(tmp, output)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("template")
    parser.add_argument("output")
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--version")
    source.add_argument("--payload")
    args = parser.parse_args(argv)
    try:
        version = args.version if args.version is not None else payload_version(args.payload)
        if args.version is not None:
            try:
                numbers(version)
            except VersionError as e:
                raise VersionError("KV_VERSION: %s" % e)
        write(args.template, args.output, version)
    except VersionError as e:
        print("error: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
