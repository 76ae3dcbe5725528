"""Two release builds of the same sources a minute apart, in two folders of
different depth and the second from a copy of the sources elsewhere, give
byte-identical kvsetup.exe. A long test (label "long"): two scratch builds
and a minute's wait."""
import os
import shutil
import time
import unittest

import pe
from kvharness import ROOT
from release_support import build, configure, remove, scratch_folder

APART = 60  # seconds between the end of the first build and the start of the second


def copy_sources(target):
    """The working tree without build output or version-control data."""
    skip = {"build", ".git", "__pycache__"}
    shutil.copytree(ROOT, target, ignore=lambda d, names: [n for n in names if n in skip])


def where(data, offset):
    """What of the PE file lies at offset: a section or a resource."""
    image = pe.Pe(data)
    for name, vsize, vaddr, rsize, raw in image.sections:
        if raw <= offset < raw + rsize:
            return "section %s" % name
    return "the headers or past the sections"


class ReproducibleBuild(unittest.TestCase):
    def test_two_builds_a_minute_apart_in_two_folders_are_identical(self):
        tmp = scratch_folder("kv-repro-")
        try:
            first = os.path.join(tmp, "a")
            sources = os.path.join(tmp, "elsewhere", "sources")
            second = os.path.join(tmp, "elsewhere", "deeper", "second-build")
            copy_sources(sources)
            times = []
            for n, (source, build_dir) in enumerate(((ROOT, first), (sources, second))):
                if n:
                    time.sleep(max(0.0, ended + APART - time.time()))
                rc, out = configure(build_dir, source=source)
                self.assertEqual(rc, 0, out)
                rc, out, seconds = build(build_dir)
                self.assertEqual(rc, 0, out)
                ended = time.time()
                times.append(seconds)
            print("\nbuild times: %.0f s and %.0f s, %d s apart" % (times[0], times[1], APART))
            exes = [open(os.path.join(d, "kvsetup.exe"), "rb").read() for d in (first, second)]
            if exes[0] != exes[1]:
                at = next(i for i, (x, y) in enumerate(zip(*exes)) if x != y) if len(exes[0]) == len(exes[1]) else 0
                parts = ["payload/payload.zip", "kv_Install/res/skin/top.bmp", "kv_Install/kvsetup_version.rc"]
                differ = [p for p in parts if open(os.path.join(first, p), "rb").read() !=
                          open(os.path.join(second, p), "rb").read()]
                self.fail("kvsetup.exe differs: sizes %d and %d, first difference at 0x%x in %s; "
                          "inputs that differ: %s" % (len(exes[0]), len(exes[1]), at, where(exes[0], at), differ or "none"))
        finally:
            remove(tmp)


if __name__ == "__main__":
    unittest.main()
