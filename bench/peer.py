"""kvsetup side by side with a peer installer system (NSIS 3, Debian's nsis),
on one payload of files nobody in this project wrote: Wine's own Windows
DLLs, Python's library sources and the DejaVu fonts (about 170 MB), plus the
sample's programs and files so that kvsetup can install it.

It packs the folder with kvzip pack (LZMA entries, and --deflate), builds
kvsetup.exe with each archive (a scratch build in BUILD/peer/kvsetup), and
makes three NSIS installers of the same folder: LZMA solid, LZMA per file,
zlib. Each runs unattended three times in one Wine prefix, the five taking
turns, each into a folder of its own emptied first. It prints the sizes, the
install times (wall clock from start to exit, median of 3), kvsetup's unpack
time (from its /LOG: the disk line to the last entry line) and the ratios,
and checks once that kvsetup's LZMA install is the folder byte for byte.

Targets: kvsetup LZMA's file at most 1.05x NSIS's LZMA per file and at most
0.80x kvsetup deflate's; its install no slower than NSIS's LZMA per file.
"""
import datetime
import filecmp
import glob
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
import kvharness as h  # noqa: E402
import responsiveness  # noqa: E402

TARGET_BYTES = 168 * 1000 * 1000
ROUNDS = 3
SIZE_TO_NSIS = 1.05
SIZE_TO_DEFLATE = 0.80
# Reports go nowhere: the update host is a closed port, and the log goes to
# the bench's own port rather than the tests'.
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"
NSIS_MODES = (("NSIS 3, LZMA solid", "nsis-lzma-solid", "/SOLID lzma"),
              ("NSIS 3, LZMA per file", "nsis-lzma", "lzma"),
              ("NSIS 3, zlib", "nsis-zlib", "zlib"))
say = responsiveness.say


def sources():
    """(path, name in the payload) of the files nobody here wrote, in a fixed
    order: the fonts, Python's sources, then Wine's DLLs up to the target."""
    picked = []
    for path in sorted(glob.glob("/usr/share/fonts/truetype/dejavu/*.ttf")):
        picked.append((path, "fonts/" + os.path.basename(path)))
    root = "/usr/lib/python3.11"
    for folder, dirs, files in sorted(os.walk(root)):
        dirs.sort()
        if "__pycache__" in folder or "site-packages" in folder or "dist-packages" in folder:
            continue
        for name in sorted(files):
            if name.endswith(".py"):
                path = os.path.join(folder, name)
                picked.append((path, "python/" + os.path.relpath(path, root)))
    total = sum(os.path.getsize(p) for p, _ in picked)
    for wine in ("/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/x86_64-linux-gnu/wine/i386-windows"):
        if os.path.isdir(wine):
            break
    for path in sorted(glob.glob(wine + "/*.dll")):
        if total >= TARGET_BYTES:
            break
        if os.path.isfile(path) and not os.path.islink(path):
            picked.append((path, "wine/" + os.path.basename(path)))
            total += os.path.getsize(path)
    return picked


def stage(work):
    """WORK/files: the payload folder, made once."""
    files = os.path.join(work, "files")
    done = files + ".done"
    if os.path.exists(done):
        return files
    shutil.rmtree(files, ignore_errors=True)
    sample = os.path.join(work, "sample")
    shutil.rmtree(sample, ignore_errors=True)
    programs = os.path.join(h.BUILD, "payload", "programs")
    subprocess.run([sys.executable, os.path.join(h.ROOT, "payload", "make_payload.py"), sample, "--as-folder"] +
                   ["--exe=%s=%s" % (n, os.path.join(programs, n)) for n in ("kvClient.exe", "kvUpdate.exe",
                                                                             "kv_Uninstall.exe")], check=True)
    shutil.copytree(sample, files)
    shutil.rmtree(sample)
    config = os.path.join(files, "config.ini")
    with open(config, "rb") as f:
        text = f.read()
    with open(config, "wb") as f:
        f.write(text.replace(b"port=%d" % h.LOG_PORT, b"port=%d" % responsiveness.BENCH_LOG_PORT))
    for path, name in sources():
        target = os.path.join(files, *name.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(path, target)
    open(done, "w").close()
    return files


def folder_size(folder):
    count = total = 0
    for d, _, names in os.walk(folder):
        for n in names:
            count += 1
            total += os.path.getsize(os.path.join(d, n))
    return count, total


def pack(work, files):
    """The two archives kvzip pack makes of the folder; seconds each took."""
    kvzip = os.path.join(h.ROOT, "build", "pack", "kvzip")
    out, seconds = {}, {}
    for kind, args in (("lzma", []), ("deflate", ["--deflate"])):
        zip_path = os.path.join(work, "peer-%s.zip" % kind)
        # Made again when the folder was (the packing is the same every time).
        if not os.path.exists(zip_path) or os.path.getmtime(zip_path) < os.path.getmtime(files + ".done"):
            start = time.monotonic()
            subprocess.run([kvzip, "pack", *args, files, zip_path + ".tmp"], check=True)
            os.replace(zip_path + ".tmp", zip_path)
            seconds[kind] = time.monotonic() - start
        out[kind] = zip_path
    return out, seconds


def kvsetup(work, kind, archive):
    """kvsetup.exe with archive embedded: one scratch build, its payload
    switched between the two."""
    tree = os.path.join(work, "kvsetup")
    preset = "windows" if h.RUNS_32_BIT else "windows64"
    env = responsiveness.clean_env()
    subprocess.run(["cmake", "--preset", preset, "-B", tree, "-DKV_BUILD_TESTS=OFF", "-DKV_PAYLOAD_ZIP=" + archive],
                   cwd=h.ROOT, check=True, stdout=subprocess.DEVNULL, env=env)
    say("building kvsetup.exe with the %s payload" % kind)
    r = subprocess.run(["cmake", "--build", tree, "-j2", "--target", "kvsetup"], capture_output=True, text=True,
                       env=env)
    if r.returncode != 0:
        raise SystemExit("bench: building kvsetup failed:\n%s%s" % (r.stdout[-3000:], r.stderr[-3000:]))
    exe = os.path.join(work, "kvsetup-%s.exe" % kind)
    shutil.copy(os.path.join(tree, "kvsetup.exe"), exe)
    return exe


def nsis(work, files, name, compressor):
    exe = os.path.join(work, name + ".exe")
    script = os.path.join(work, name + ".nsi")
    text = ("Unicode true\nName \"Peer\"\nOutFile \"%s\"\nInstallDir \"C:\\peer\"\nRequestExecutionLevel admin\n"
            "SilentInstall silent\nSetCompressor %s\nSection\n  SetOutPath $INSTDIR\n  File /r \"%s/*.*\"\n"
            "SectionEnd\n" % (exe, compressor, files))
    if os.path.exists(exe) and open(script).read() == text and os.path.getmtime(exe) > os.path.getmtime(script):
        return exe
    with open(script, "w") as f:
        f.write(text)
    say("making %s (makensis, SetCompressor %s)" % (os.path.basename(exe), compressor))
    subprocess.run(["makensis", "-V1", script], check=True, stdout=subprocess.DEVNULL)
    return exe


def log_seconds(line):
    return datetime.datetime.strptime(line[:23], "%Y-%m-%d %H:%M:%S.%f").timestamp()


def unpack_seconds(log_path):
    """From the disk line (the unpacking starts) to the last entry line."""
    with open(log_path, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    start = next(log_seconds(l) for l in lines if l[24:].startswith("disk "))
    end = [log_seconds(l) for l in lines if l[24:].startswith("entry ")][-1]
    return end - start


def run_once(session, key, exe, folder_win):
    folder = session.unix(folder_win)
    shutil.rmtree(folder, ignore_errors=True)
    cwd = session.unix(r"C:\bench")
    if key.startswith("kvsetup"):
        log_win = r"C:\bench\%s.log" % key
        log = session.unix(log_win)
        if os.path.exists(log):
            os.remove(log)
        args = ["admin", "/DIR=" + folder_win, "/LOG=" + log_win]
    else:
        args = ["/S", "/D=" + folder_win]
    start = time.monotonic()
    p = session.start(os.path.join(cwd, os.path.basename(exe)), args, cwd)
    status = p.wait(600)
    seconds = time.monotonic() - start
    if status != 0:
        raise SystemExit("bench: %s ended with %s" % (key, status))
    return seconds, unpack_seconds(log) if key.startswith("kvsetup") else None


def main(bench_build):
    work = os.path.join(os.path.abspath(bench_build), "peer")
    os.makedirs(work, exist_ok=True)
    files = stage(work)
    count, total = folder_size(files)
    say("\nSide by side with NSIS 3: %d files, %.1f MB (%s)" % (count, total / 1e6, files))
    archives, pack_s = pack(work, files)
    for kind, s in pack_s.items():
        say("  kvzip pack %-7s %.0f s" % (kind, s))
    installers = [("kvsetup, LZMA (kvzip pack)", "kvsetup-lzma", kvsetup(work, "lzma", archives["lzma"])),
                  ("kvsetup, deflate (kvzip pack --deflate)", "kvsetup-deflate",
                   kvsetup(work, "deflate", archives["deflate"]))]
    installers += [(label, key, nsis(work, files, key, comp)) for label, key, comp in NSIS_MODES]

    template = responsiveness.Workspace(bench_build).prefix()
    times = {key: [] for _, key, _ in installers}
    unpacks = {key: [] for _, key, _ in installers}
    session = h.WineSession(template=template)
    try:
        bench = session.unix(r"C:\bench")
        os.makedirs(bench, exist_ok=True)
        for _, key, exe in installers:
            shutil.copy(exe, bench)
        with open(os.path.join(bench, "config.ini"), "w", newline="") as f:
            f.write(CONFIG)
        for round_ in range(ROUNDS):
            for label, key, exe in installers:
                folder_win = "C:\\peer\\" + key
                seconds, unpack = run_once(session, key, exe, folder_win)
                times[key].append(seconds)
                unpacks[key].append(unpack)
                say("  round %d  %-42s %6.1f s%s" % (round_ + 1, label, seconds,
                                                     "" if unpack is None else "  (unpack %.1f s)" % unpack))
                if round_ == 0 and key == "kvsetup-lzma":
                    same = byte_for_byte(files, session.unix(folder_win))
                    say("  kvsetup LZMA installed the %d files byte for byte: %s" % (count, "yes" if same else "NO"))
                    if not same:
                        raise SystemExit("bench: the LZMA install differs from the folder")
    finally:
        session.close()

    size = {key: os.path.getsize(exe) for _, key, exe in installers}
    median = {key: statistics.median(v) for key, v in times.items()}
    say("\n| installer of the same files | file size | unattended install (median of %d) | runs | unpack |" % ROUNDS)
    say("|---|---|---|---|---|")
    for label, key, _ in installers:
        unpack = [u for u in unpacks[key] if u is not None]
        say("| %s | %.1f MB (%.2fx kvsetup deflate) | %.1f s | %s | %s |" % (
            label, size[key] / 1e6, size[key] / size["kvsetup-deflate"], median[key],
            ", ".join("%.1f" % t for t in times[key]),
            "%.1f s (%s)" % (statistics.median(unpack), ", ".join("%.1f" % u for u in unpack)) if unpack else "-"))
    to_nsis = size["kvsetup-lzma"] / size["nsis-lzma"]
    to_deflate = size["kvsetup-lzma"] / size["kvsetup-deflate"]
    install = median["kvsetup-lzma"] / median["nsis-lzma"]
    checks = [("kvsetup LZMA size / NSIS LZMA per file", to_nsis, SIZE_TO_NSIS),
              ("kvsetup LZMA size / kvsetup deflate", to_deflate, SIZE_TO_DEFLATE),
              ("kvsetup LZMA install / NSIS LZMA per file", install, 1.0)]
    met = True
    say("")
    for what, ratio, target in checks:
        ok = ratio <= target
        met &= ok
        say("  %-44s %.3f  target <= %.2f  %s" % (what, ratio, target, "ok" if ok else "MISSED"))
    say("  kvsetup LZMA unpack / kvsetup deflate unpack  %.2f" % (
        statistics.median(unpacks["kvsetup-lzma"]) / statistics.median(unpacks["kvsetup-deflate"])))
    return met


def byte_for_byte(files, installed):
    for d, _, names in os.walk(files):
        for n in names:
            a = os.path.join(d, n)
            b = os.path.join(installed, os.path.relpath(a, files))
            if not os.path.isfile(b) or not filecmp.cmp(a, b, shallow=False):
                say("  differs: %s" % b)
                return False
    return True
