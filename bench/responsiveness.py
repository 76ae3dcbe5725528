"""How long the installer's window leaves a message unanswered during an
interactive install under Wine and Xvfb.

hangprobe.exe (the Windows build's test helper) sends WM_NULL to the main
window every 20 ms, each time waiting for the answer, from the directory page
until the window closes at the end of the install (which starts the
updater); the figure is its longest wait. Target: at most 100 ms in each
case. The display has no window manager, so Wine's windows are made
unmanaged, as they would be hidden at once on a desktop.

  stalled-servers  the update host accepts and never answers; the log port's
                   listen queue is full
  large-payload    the reference payload at scale 11 (about 205 MB)
  running-client   kvClient.exe runs from the install folder; the question's
                   OK ends it. Wine ends a terminated process at once, even a
                   stopped one, so the installer's wait for the end (up to
                   5 s on Windows) takes no time here.

The cases run installers built for them in BUILD/responsiveness (scratch
builds of kvsetup.exe with their own payloads, made on the first run); the
probe, wintext.exe and the client stand-in come from the Windows build the
tests use (build/windows, or build/windows64 where the host runs no 32-bit
code).
"""
import os
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))

import kvharness as h  # noqa: E402
from listeners import FullBacklogListener, HttpListener, SlowHttpListener, TcpListener  # noqa: E402

CASES = ("stalled-servers", "large-payload", "running-client")
TARGET_MS = 100
# The log port the small payload's config.ini names: not the tests' port, so
# that a benchmark never sends its log to a test run's listener.
BENCH_LOG_PORT = 16701
LARGE_SCALE = 11  # x 18.6 MB
SLEEPER = os.path.join(h.BUILD, "tests", "windows", "sleeper.exe")
PROBE_LIMIT = 300  # seconds; today's stalled install takes about 50


def say(text):
    print(text, flush=True)


def clean_env():
    """The environment without the caller's Wine settings."""
    return {k: v for k, v in os.environ.items() if not k.startswith("WINE")}


class Workspace:
    """BUILD/responsiveness: the template prefix and the installers."""

    def __init__(self, bench_build):
        self.bench_build = os.path.abspath(bench_build)
        self.dir = os.path.join(self.bench_build, "responsiveness")
        os.makedirs(self.dir, exist_ok=True)
        self.template = os.path.join(self.dir, "wine", "template")

    def prefix(self):
        if not os.path.isfile(os.path.join(self.template, "system.reg")):
            say("making the Wine prefix in %s" % os.path.dirname(self.template))
            make = os.path.join(h.ROOT, "tests", "support", "make-prefixes")
            subprocess.run([make, os.path.dirname(self.template), h.WINREADY], check=True, stdout=subprocess.DEVNULL,
                           env=clean_env())
        return self.template

    def small_payload(self):
        """The sample payload with its log sent to BENCH_LOG_PORT; rewritten
        only when it changes, so the build stays up to date."""
        source = os.path.join(h.BUILD, "payload", "sample_payload.zip")
        target = os.path.join(self.dir, "payload-small.zip")
        tmp = target + ".new"
        with zipfile.ZipFile(source) as src, zipfile.ZipFile(tmp, "w") as dst:
            for info in src.infolist():
                data = src.read(info)
                if info.filename == "config.ini":
                    data = data.replace(b"port=%d" % h.LOG_PORT, b"port=%d" % BENCH_LOG_PORT)
                    assert b"port=%d" % BENCH_LOG_PORT in data, "the sample config.ini names no log port"
                dst.writestr(info, data)
        if os.path.exists(target) and open(target, "rb").read() == open(tmp, "rb").read():
            os.remove(tmp)
        else:
            os.replace(tmp, target)
        return target

    def large_payload(self):
        target = os.path.join(self.dir, "reference-%dx.zip" % LARGE_SCALE)
        if not os.path.exists(target):
            maker = os.path.join(self.bench_build, "bench", "make_reference_payload")
            subprocess.run([maker, target, str(LARGE_SCALE)], check=True)
        return target

    def installer(self, name, payload):
        """kvsetup.exe built in BUILD/responsiveness/NAME with payload embedded."""
        folder = os.path.join(self.dir, name)
        if not os.path.isfile(os.path.join(folder, "build.ninja")):
            preset = "windows" if h.RUNS_32_BIT else "windows64"  # the programs this host runs
            subprocess.run(["cmake", "--preset", preset, "-B", folder, "-DKV_BUILD_TESTS=OFF",
                            "-DKV_PAYLOAD_ZIP=" + payload],
                           cwd=h.ROOT, check=True, stdout=subprocess.DEVNULL, env=clean_env())
        say("building %s" % os.path.join(folder, "kvsetup.exe"))
        r = subprocess.run(["cmake", "--build", folder, "-j2", "--target", "kvsetup"], capture_output=True,
                           text=True, env=clean_env())
        if r.returncode != 0:
            raise RuntimeError("building the %s installer failed:\n%s%s" % (name, r.stdout[-3000:], r.stderr[-3000:]))
        return os.path.join(folder, "kvsetup.exe")


def config(http_port):
    return "[update]\r\nupdatehost=127.0.0.1:%d\r\n" % http_port


def interactive_install(session, exe, http_port, answer_question=False):
    """Runs the wizard with hangprobe.exe watching: "立即安装" (and OK on the
    running-client question). "运行软件" stays ticked, so the install ends
    by starting the updater and closing the window. The probe's figures and
    the install's own."""
    folder = session.unix(h.INSTALL_DIR)
    question = lambda: session.xdotool("search", "--name", "^提示$")  # noqa: E731
    started = question if answer_question else lambda: os.path.isdir(folder)  # noqa: E731
    p = session.start_installer(config=config(http_port), exe=exe)
    wid = session.wait_for_wizard(timeout=120)
    if wid is None:
        raise RuntimeError("the wizard did not show")
    probe = session.start(h.HANGPROBE, ["kvsetup.exe", str(PROBE_LIMIT)], capture=True)
    if not probe.stdout.readline().startswith(b"window"):
        raise RuntimeError("hangprobe.exe found no window")
    probing = time.monotonic()  # about its first probe
    time.sleep(1)
    start = time.monotonic()
    # A click that comes before the window takes input is lost: once more.
    for _ in range(2):
        session.click(wid, *h.INSTALL_BUTTON)
        if session.wait_for(started, timeout=15, interval=0.1):
            break
    else:
        raise RuntimeError("the install did not start")
    if answer_question:
        session.key(question()[0], "Return")
    rc = p.wait(PROBE_LIMIT)
    install_s = time.monotonic() - start
    out = probe.communicate(timeout=60)[0].decode("ascii", "replace")
    lines = [line.strip().split("\t") for line in out.splitlines()]
    figures = {line[0]: line[1] for line in lines if len(line) == 2}
    # Each stretch beyond the target: seconds after the click, milliseconds.
    figures["stalls"] = [(float(line[1]) / 1000 - (start - probing), float(line[2]))
                         for line in lines if line[0] == "stall"]
    installed = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(folder) for f in files)
    figures.update(status=rc, install_s=install_s, installed_mb=installed / 1e6)
    return figures


def run_case(name, workspace, session):
    if name == "stalled-servers":
        exe = workspace.installer("small", workspace.small_payload())
        with SlowHttpListener("silent") as http, FullBacklogListener(port=BENCH_LOG_PORT):
            return interactive_install(session(), exe, http.port)
    if name == "large-payload":
        exe = workspace.installer("large", workspace.large_payload())
        # Its config.ini names no log server: the log goes to the built-in one.
        with HttpListener() as http:
            return interactive_install(session(), exe, http.port)
    if name == "running-client":
        exe = workspace.installer("small", workspace.small_payload())
        with HttpListener() as http, TcpListener(port=BENCH_LOG_PORT):
            s = session()
            folder = s.unix(h.INSTALL_DIR)
            os.makedirs(folder)
            shutil.copy(SLEEPER, os.path.join(folder, "kvClient.exe"))
            s.start(os.path.join(folder, "kvClient.exe"), cwd=folder)
            time.sleep(3)  # until Wine runs it under its own name
            return interactive_install(s, exe, http.port, answer_question=True)
    raise ValueError(name)


def main(bench_build, cases):
    """Runs the cases; prints each figure. True when every case met the target."""
    for helper in (h.HANGPROBE, h.WINTEXT, SLEEPER):
        if not os.path.isfile(helper):
            raise SystemExit("bench: %s is missing (./kv build)" % helper)
    workspace = Workspace(bench_build)
    template = workspace.prefix()
    say("\nWindow responsiveness, interactive install under Wine (hangprobe.exe: WM_NULL every 20 ms)")
    met = True
    for name in cases:
        sessions = []

        def session():
            s = h.WineSession(template=template)
            sessions.append(s)
            s.unmanaged_windows()
            return s
        try:
            f = run_case(name, workspace, session)
        finally:
            for s in sessions:
                s.close()
        longest = float(f["longest_ms"])
        ok = longest <= TARGET_MS and f["status"] == 0
        met &= ok
        say("  %-16s longest unanswered %8.0f ms  target <= %d ms  %s"
            % (name, longest, TARGET_MS, "ok" if ok else "MISSED"))
        say("  %16s (at %.1f s of %.1f s probed, %s probes; install %.1f s, status %d, %.1f MB "
            "installed)" % ("", float(f["longest_at_ms"]) / 1000, float(f["total_ms"]) / 1000, f["probes"],
                            f["install_s"], f["status"], f["installed_mb"]))
        if f["stalls"]:
            say("  %16s over %d ms, at s after the click: %s" % ("", TARGET_MS, ", ".join(
                "%.1f s: %.0f ms" % stall for stall in f["stalls"])))
    return met
