"""What the release tests share.

Scratch release builds: `cmake --preset windows -B DIR` with the tests left
out, then only kvsetup and what it needs, with two jobs. They run no Windows
program and need no Wine.

In a Wine session: the version resource as verinfo.exe reads it, and the
README's scripts for an unattended install run by cmd."""
import os
import shutil
import subprocess
import tempfile
import time

from kvharness import BUILD, DOWNLOADS, ROOT

VERINFO = os.path.join(BUILD, "tests", "release", "verinfo.exe")
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"  # reports fail at once on loopback


def readme_scripts():
    """The code blocks of the README's "Unattended install from a script", as
    cmd wants them (CRLF line ends)."""
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        text = f.read()
    section = text.split("### Unattended install from a script", 1)[1].split("\n#", 1)[0]
    return [block.strip("\n").replace("\n", "\r\n") + "\r\n" for block in section.split("```")[1::2]]


def run_script(session, exe, script):
    """(exit status, output) of cmd running script beside exe, named
    kvsetup.exe, in the Downloads folder with a loopback config."""
    folder = session.unix(DOWNLOADS)
    os.makedirs(folder, exist_ok=True)
    with open(exe, "rb") as src, open(os.path.join(folder, "kvsetup.exe"), "wb") as dst:
        dst.write(src.read())
    for name, text in (("config.ini", CONFIG), ("install.cmd", script)):
        with open(os.path.join(folder, name), "w", newline="") as f:
            f.write(text)
    rc, out, _ = session.run("C:\\windows\\system32\\cmd.exe", ["/c", DOWNLOADS + "\\install.cmd"], cwd=folder,
                             timeout=120)
    return rc, out.decode("gbk", "replace")


def version_info(session, exe):
    """{key: value} of verinfo.exe's lines for exe (a Linux path)."""
    work = session.unix(r"C:\verinfo")
    os.makedirs(work, exist_ok=True)
    target = os.path.join(work, "kvsetup.exe")
    with open(exe, "rb") as src, open(target, "wb") as dst:
        dst.write(src.read())
    rc, out, err = session.run(VERINFO, [r"C:\verinfo\kvsetup.exe"])
    if rc != 0:
        raise AssertionError("verinfo exit status %d: %r" % (rc, err))
    return dict(line.split("=", 1) for line in out.decode("ascii").splitlines())


def expected_version_info(text, numbers):
    return {"file": numbers, "product": numbers, "translation": "080403a8", "CompanyName": "Brevanta",
            "FileDescription": "Kelvane Setup", "FileVersion": text, "InternalName": "kvsetup",
            "OriginalFilename": "kvsetup.exe", "ProductName": "Kelvane", "ProductVersion": text}


def configure(build_dir, source=ROOT, **cache):
    """(exit status, output) of configuring build_dir; cache values as KV_NAME="text"."""
    cmd = ["cmake", "--preset", "windows", "-B", build_dir, "-DKV_BUILD_TESTS=OFF"]
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


def scratch_folder(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def remove(path):
    shutil.rmtree(path, ignore_errors=True)
