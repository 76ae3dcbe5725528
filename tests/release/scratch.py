"""Scratch release builds for the tests: `cmake --preset windows -B DIR` with
the tests left out, then only kvsetup and what it needs, with two jobs. The
kvzip check of every scratch build runs in the test build's own build
prefix, so none of them has to make a Wine prefix first."""
import os
import shutil
import subprocess
import tempfile
import time

from kvharness import BUILD, ROOT

WINE_PREFIX = os.path.join(BUILD, "wine", "build")


def configure(build_dir, source=ROOT, **cache):
    """(exit status, output) of configuring build_dir; cache values as KV_NAME="text"."""
    cmd = ["cmake", "--preset", "windows", "-B", build_dir, "-DKV_BUILD_TESTS=OFF",
           "-DKV_BUILD_WINE_PREFIX=" + WINE_PREFIX]
    cmd += ["-D%s=%s" % item for item in sorted(cache.items())]
    r = subprocess.run(cmd, cwd=source, capture_output=True, text=True, env=clean_env())
    return r.returncode, r.stdout + r.stderr


def build(build_dir):
    """(exit status, output, seconds) of building kvsetup.exe in build_dir."""
    start = time.time()
    r = subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "kvsetup"],
                       capture_output=True, text=True, env=clean_env())
    return r.returncode, r.stdout + r.stderr, time.time() - start


def clean_env():
    """The environment without what would change a build: the tests' own
    Wine settings and a SOURCE_DATE_EPOCH the caller may have exported."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("WINE") and k != "SOURCE_DATE_EPOCH"}
    return env


def folder(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def remove(path):
    shutil.rmtree(path, ignore_errors=True)
