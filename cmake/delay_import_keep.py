#!/usr/bin/env python3
"""Writes the linker response file that asks for the thunk of every
delay-loaded function the program calls, and no others, and adds to it an
object with a failure stand-in for each of those functions.

ld (binutils 2.40) drops the thunk of a delay-loaded function that the
program calls only through its __imp_ pointer (every function its header
declares dllimport) and leaves that pointer 0, so each such thunk is asked
for by name (-u). Asking for every export of the DLLs instead would link a
few hundred unused thunks (about 80 KB).

The used functions are the undefined symbols, __imp_ or plain, of the
objects and static libraries under SCAN_DIR (the program's own and its
libraries', all built before the link) that one of the DEF files exports.

The stand-ins (kv_Install/core/delay_load.cpp): when a DLL cannot be loaded,
or lacks a function, the call goes to a stand-in that returns the function's
failure value without doing anything. On i686 each one removes its caller's
arguments as the real stdcall function would ("@n" of its name). The value
is 0 (NULL, FALSE) unless --fail DLL=VALUE or --fail DLL.FUNCTION=VALUE
says otherwise. The stand-ins and their table (kv_delay_stubs: DLL name,
function name, stand-in; ending in a null row) are assembled with AS into
OUTPUT.obj, which the response file names.

usage: delay_import_keep.py NM AS PREFIX OUTPUT SCAN_DIR [--fail NAME=VALUE]... DEF...

PREFIX is what the target puts before a C name: "_" on i686, "-" (none) on
x86-64.
"""
import os
import subprocess
import sys


def exports(def_file):
    """(DLL name, set of exports as the import library names them)."""
    with open(def_file) as f:
        lines = [line.strip() for line in f]
    dll = lines[0].split(None, 1)[1]
    return dll, set(lines[lines.index("EXPORTS") + 1:]) - {""}


def stubs_assembly(prefix, used, failures):
    """GNU as text of the stand-ins and their table; used: sorted (dll, export)."""
    wide = prefix == ""  # x86-64
    word = ".quad" if wide else ".long"
    text = ["\t.text"]
    table = ["\t.section .rdata,\"dr\"", "\t.p2align %d" % (3 if wide else 2),
             "\t.globl %skv_delay_stubs" % prefix, "%skv_delay_stubs:" % prefix]
    strings = []
    for i, (dll, export) in enumerate(used):
        name, _, argument_bytes = export.partition("@")
        stem = dll.lower().rsplit(".", 1)[0]
        value = failures.get("%s.%s" % (stem, name), failures.get(stem, 0))
        text += ["\t.p2align 2", "kv_delay_stub_%d:" % i, "\tmovl $%d, %%eax" % value,
                 "\tret $%s" % argument_bytes if argument_bytes and not wide else "\tret"]
        table.append("\t%s kv_delay_dll_%d, kv_delay_name_%d, kv_delay_stub_%d" % (word, i, i, i))
        strings += ["kv_delay_dll_%d:" % i, "\t.asciz \"%s\"" % dll, "kv_delay_name_%d:" % i, "\t.asciz \"%s\"" % name]
    table.append("\t%s 0, 0, 0" % word)
    return "\n".join(text + table + strings) + "\n"


def write_if_changed(path, text):
    # Unchanged text, unchanged file: no relink for nothing.
    if os.path.exists(path) and open(path).read() == text:
        return False
    with open(path, "w") as f:
        f.write(text)
    return True


def main(nm, assembler, prefix, output, scan_dir, *rest):
    rest = list(rest)
    failures = {}
    while rest and rest[0] == "--fail":
        name, _, value = rest[1].partition("=")
        failures[name.lower()] = int(value, 0)
        rest = rest[2:]
    prefix = prefix.strip("-")
    imp = "__imp_" + prefix
    dll_of = {}
    for def_file in rest:
        dll, names = exports(def_file)
        for name in names:
            dll_of[name] = dll
    files = [os.path.join(top, name) for top, _, names in os.walk(scan_dir) for name in sorted(names)
             if name.endswith((".a", ".obj"))]
    through_pointer, called = set(), set()
    if files:
        out = subprocess.run([nm, "--undefined-only", "--no-sort", *files], capture_output=True, text=True).stdout
        for line in out.split("\n"):
            parts = line.split()
            if len(parts) == 2 and parts[0] == "U":
                if parts[1].startswith(imp):
                    through_pointer.add(parts[1][len(imp):])
                elif parts[1].startswith(prefix):
                    called.add(parts[1][len(prefix):])
    wanted = sorted(through_pointer & set(dll_of))
    used = sorted((dll_of[name], name) for name in (through_pointer | called) & set(dll_of))
    stubs_source, stubs = output + ".s", output + ".obj"
    if write_if_changed(stubs_source, stubs_assembly(prefix, used, failures)) or not os.path.exists(stubs):
        subprocess.run([assembler, "-o", stubs, stubs_source], check=True)
    write_if_changed(output, "".join("-u %s%s\n" % (prefix, name) for name in wanted) + '"%s"\n' % stubs)
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 7:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
