"""End-to-end harness: the real kvsetup.exe in a private Wine prefix.

Each WineSession copies the test run's pristine template prefix, starts its own
virtual display, and runs Windows programs there with code page 936 (or another
ANSI code page the session asks for) and TZ=UTC.
The test then inspects the prefix from Linux: files under drive_c, registry
values through `wine reg query`, and windows through xdotool.

The prefix is 64-bit Windows. KV_WINDOWS_ARCH says which programs run there:
win32, the shipped 32-bit ones of build/windows (under WoW64, as on 64-bit
Windows), or win64, the 64-bit twin of build/windows64 with Wine's 64-bit
loader alone. The constants below say where the installer run at hand puts
things.
"""
import collections
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SUPPORT = os.path.dirname(os.path.abspath(__file__))
ARCH = os.environ.get("KV_WINDOWS_ARCH") or subprocess.run(
    [os.path.join(SUPPORT, "windows-way")], capture_output=True, text=True).stdout.strip()
RUNS_32_BIT = ARCH == "win32"
BUILD = os.environ.get("KV_BUILD", os.path.join(ROOT, "build", "windows" if RUNS_32_BIT else "windows64"))
# The shipped 32-bit build, whose file the release tests read on every host.
SHIPPED = os.environ.get("KV_SHIPPED_BUILD", os.path.join(ROOT, "build", "windows"))
TEMPLATE = os.environ.get("KV_TEMPLATE_PREFIX", os.path.join(BUILD, "wine", "template"))
KVSETUP = os.path.join(BUILD, "kvsetup.exe")
WINTEXT = os.path.join(BUILD, "wintext.exe")
ACCNAMES = os.path.join(BUILD, "accnames.exe")  # what a screen reader hears (MSAA)
WINMSG = os.path.join(BUILD, "winmsg.exe")  # closes the main window, or asks it whether the session may end
HANGPROBE = os.path.join(BUILD, "hangprobe.exe")  # the longest wait for the main window's answer
KVSETUP_BADPAYLOAD = os.path.join(BUILD, "kvsetup_badpayload.exe")  # readme.txt with a wrong CRC-32
KVSETUP_CHINESE = os.path.join(BUILD, "kvsetup_chinese.exe")  # 说明.txt in GBK, 图片/背景.txt in UTF-8 (bit 11)
KVSETUP_BIG = os.path.join(BUILD, "kvsetup_big.exe")  # datafile/big.bin: 6,000,000 bytes of zeros
HOLDFILE = os.path.join(BUILD, "holdfile.exe")  # holds a file with no sharing, as another program would
KVSETUP_CONTRAST = os.path.join(BUILD, "kvsetup_contrast.exe")  # finds a high-contrast theme on (Wine has none)
KVSETUP_PAUSE = os.path.join(BUILD, "kvsetup_pause.exe")  # stops once datafile is held (KV_TEST_PAUSE)
KVZIP = os.path.join(BUILD, "kvzip.exe")
WINREADY = os.path.join(BUILD, "winready.exe")  # waits until a new session can make a window
# Each retry of Wine's start-up that a session needed, one line each; ./kv
# test counts them at the end of its run.
STARTUP_LOG = os.environ.get("KV_STARTUP_LOG", os.path.join(BUILD, "wine", "startup-retries.log"))

# A 32-bit program on 64-bit Windows: its Program Files folder is the (x86)
# one, and its HKLM\SOFTWARE is HKLM\SOFTWARE\WOW6432Node for 64-bit readers.
PROGRAM_FILES = r"C:\Program Files (x86)" if RUNS_32_BIT else r"C:\Program Files"
INSTALL_DIR = PROGRAM_FILES + r"\Kelvane"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane"  # as the installer sees it
UNINSTALL_KEY_64 = (r"HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane" if RUNS_32_BIT
                    else UNINSTALL_KEY)  # as a 64-bit program sees it
WINE64 = "/usr/lib/wine/wine64"  # Wine's 64-bit loader: runs 64-bit programs on any host
DOWNLOADS = r"C:\users\admin\Downloads"

# Client coordinates of the wizard's controls in the 688 x 367 main window
# (the pages start 43 px down, below the caption band).
FOLDER_EDIT = (30 + 270, 43 + 214 + 17)
DESKTOP_CHECKBOX = (30 + 8, 43 + 254 + 10)
RUN_CHECKBOX = (170 + 8, 43 + 254 + 10)
INSTALL_BUTTON = (448 + 50, 43 + 269 + 17)
CANCEL_BUTTON = (558 + 50, 43 + 269 + 17)
FINISH_BUTTON = (563 + 50, 43 + 254 + 17)
CLOSE_BUTTON = (688 - 13 - 11, 21)

# Where the reports go in tests. The installed config.ini of the sample
# payload names this log port; the update host comes from .\config.ini.
LOG_PORT = 16666

# The Unix locale that gives Wine each ANSI code page (./kv setup makes them).
LOCALE_OF_CODE_PAGE = {936: "zh_CN.UTF-8", 1252: "en_US.UTF-8", 950: "zh_TW.UTF-8"}


def gbk(text):
    return text.encode("gbk")


class Display:
    """A private Xvfb server for one session, 1280 x 1024 unless told (a
    window at 200 % needs 2560x1600)."""

    def __init__(self, size="1280x1024"):
        self.screen = size
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", size + "x24", "-nolisten", "tcp"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        with os.fdopen(r) as f:
            self.name = ":" + f.readline().strip()

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()


class ExitStatus(int):
    """An exit status that, printed by a failing assertion, shows what the
    program wrote on its standard error (the installer says there why it did
    not install)."""

    def __new__(cls, status, said=""):
        self = super().__new__(cls, status)
        self.said = said.strip()
        return self

    def __repr__(self):
        return "%d (it said: %s)" % (self, self.said) if self.said else "%d" % self


# One start of a sample program, as it records it.
Start = collections.namedtuple("Start", "folder command_line parent")


class Program(subprocess.Popen):
    """A started Windows program: wait() gives an ExitStatus."""
    stderr_file = None

    def wait(self, timeout=None):
        status = super().wait(timeout)
        if self.stderr_file is None:
            return status
        with open(self.stderr_file, "rb") as f:
            return ExitStatus(status, f.read()[-3000:].decode("utf-8", "replace"))


class WineSession:
    """A fresh prefix and display; use as a context manager."""

    def __init__(self, template=TEMPLATE, own_display=True, code_page=936, screen="1280x1024"):
        if not os.path.isfile(os.path.join(template, "system.reg")):
            raise unittest.SkipTest("no template prefix at %s (run through ctest)" % template)
        self.tmp = tempfile.mkdtemp(prefix="kv-e2e-")
        self.prefix = os.path.join(self.tmp, "pfx")
        subprocess.run(["cp", "-a", template, self.prefix], check=True)
        # A private virtual display, or the caller's screen for a demo.
        self.display = Display(screen) if own_display or not os.environ.get("DISPLAY") else None
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "WINEARCH": "win64",
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "LC_ALL": LOCALE_OF_CODE_PAGE[code_page],
            "TZ": "UTC",
        })
        if not RUNS_32_BIT:
            self.env["PATH"] = os.path.join(SUPPORT, "wine64") + os.pathsep + self.env["PATH"]
        if self.display is not None:
            self.env["DISPLAY"] = self.display.name
        self.procs = []
        self.mounts = []
        self.installer_name = "kvsetup.exe"  # the file name the installer was started under
        try:
            self.settle()
        except BaseException:
            self.close()
            raise

    def settle(self, starts=3, limit=40):
        """Starts the session's Windows and waits until it can make a window,
        before the test's own clock starts. A new Wine session boots first
        (wineboot, services, the device and plug-and-play services) and
        starts its desktop, explorer.exe /desktop, for its first window; that
        window waits for the desktop at most 10 s and is refused after that,
        which a loaded machine can exceed. The server is kept running, so
        the desktop stays up for the session's programs.

        winready.exe tries for `limit` seconds. A desktop that has not come
        up by then (seen after a kill under load: every later window is
        refused at once) does not come up at all, so Wine is started anew on
        a new display, up to `starts` times in all. Only Wine's start is
        tried again, never a test's step: each such retry is printed and
        logged for ./kv test's count, and a session with no window after
        the last start fails the test."""
        for start in range(1, starts + 1):
            # The server goes to the background and keeps no output of ours open.
            subprocess.run(["wineserver", "-p"], env=self.env, check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # Into a file, not a pipe: the session's own processes (the desktop
            # among them), started by this first program, keep its output open.
            out = os.path.join(self.tmp, "winready-%d.txt" % start)
            with open(out, "wb") as f:
                status = subprocess.run(["wine", WINREADY, str(limit)], env=self.env, stdout=f, stderr=f,
                                        timeout=limit + 60).returncode
            with open(out, "rb") as f:
                said = [line.strip() for line in f.read().decode("utf-8", "replace").split("\n")]
            refusals = [line.split("\t") for line in said if line.startswith("retry")]
            if refusals:
                self._startup_retry("%d refused window(s), the first after %s ms (system error %s)%s" % (
                    len(refusals), refusals[0][1], refusals[0][2],
                    "" if status == 0 else "; Wine started anew" if start < starts else "; no window"))
            if status == 0:
                return
            self._stop_wine()
            self._new_display()
        raise RuntimeError("Wine made no window in %d starts of %d s: %s" % (starts, limit, " ".join(said)[-500:]))

    def _startup_retry(self, what):
        message = "Wine start-up retry in %s: %s" % (self.prefix, what)
        print(message, file=sys.stderr, flush=True)
        with open(STARTUP_LOG, "a") as log:
            log.write(message + "\n")

    def _stop_wine(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _new_display(self):
        if self.display is not None:
            self.display.close()
            self.display = Display(self.display.screen)
            self.env["DISPLAY"] = self.display.name

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def set_dpi(self, dpi):
        """The display scale every program started after this sees (Wine's
        one DPI for the whole desktop)."""
        self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                  "/f")

    def unmanaged_windows(self):
        """Without a window manager on the virtual display, Wine waits 2 s for
        one each time a framed window is hidden; unmanaged windows go at once,
        as on a desktop. For measurements of how long a window goes unanswered."""
        self.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")

    def kill(self):
        """Ends every Windows program of the session at once, as a crash or
        a power cut would."""
        # The next program starts a Windows of its own, as after a reboot,
        # not one inside the server that is still going down; and, as after
        # a reboot, on a display server of its own with the desktop up before
        # anybody starts a program.
        self._stop_wine()
        for p in self.procs:
            p.wait(30)
        self._new_display()
        self.settle()

    def close(self):
        for p in self.procs:
            if p.poll() is None:
                p.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.display is not None:
            self.display.close()
        for mount in self.mounts:
            subprocess.run(["umount", "-l", mount], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.tmp, ignore_errors=True)

    # --- a user's machine ---------------------------------------------------
    def small_drive(self, letter="k", size="4m"):
        """A drive letter on a tmpfs of its own, as small as a nearly full
        disk (Wine's own drives never fill). Needs root. Its Linux folder."""
        if os.geteuid() != 0:
            raise unittest.SkipTest("a small drive needs root (mount -t tmpfs)")
        folder = os.path.join(self.tmp, "drive-" + letter)
        os.makedirs(folder)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder], check=True)
        self.mounts.append(folder)
        os.symlink(folder, os.path.join(self.prefix, "dosdevices", letter + ":"))
        return folder

    def move_program_files(self, path):
        """Program Files where every program, 32-bit or 64-bit, finds it."""
        for view in ("/reg:32", "/reg:64"):
            self.wine("reg", "add", r"HKLM\Software\Microsoft\Windows\CurrentVersion", "/v", "ProgramFilesDir",
                      "/d", path, "/f", view)

    def hold(self, win_path, seconds=-1):
        """Starts holdfile.exe on a file of the session, with no sharing, for
        seconds (-1: until released), and returns it once the hold is in
        place. p.release() ends the hold and waits until the file is free."""
        n = len(self.procs)
        ready, release = (os.path.join(self.tmp, "%s-%d" % (what, n)) for what in ("held", "release"))
        p = self.start(HOLDFILE, [win_path, str(seconds), self.windows_path(ready), self.windows_path(release)])
        self.wait_for(lambda: os.path.exists(ready) or p.poll() is not None, timeout=30)
        if not os.path.exists(ready):
            raise AssertionError("holdfile.exe could not hold %s: %r" % (win_path, p.wait()))

        def release_hold():
            open(release, "w").close()
            return p.wait(30)
        p.release = release_hold
        return p

    def windows_path(self, unix_path):
        """The Windows path of a Linux path (Wine's Z: drive)."""
        return "Z:" + unix_path.replace("/", "\\")

    # --- paths -------------------------------------------------------------
    @property
    def drive_c(self):
        return os.path.join(self.prefix, "drive_c")

    def unix(self, win_path):
        """Linux path of a C:\\ path (separators \\ or /, GBK text allowed)."""
        assert win_path[:2].upper() == "C:", win_path
        rest = win_path[2:].replace("\\", "/").lstrip("/")
        return os.path.join(self.drive_c, rest)

    def find_case_insensitive(self, win_path):
        """Linux path of a C:\\ path, matching each component without case."""
        cur = self.drive_c
        for part in [p for p in win_path[2:].replace("\\", "/").split("/") if p]:
            names = os.listdir(cur) if os.path.isdir(cur) else []
            match = [n for n in names if n.lower() == part.lower()]
            cur = os.path.join(cur, match[0] if match else part)
        return cur

    def prepare_folder(self, win_path, config=None, exe=KVSETUP, name="kvsetup.exe"):
        """Makes a folder with kvsetup.exe (a copy of exe; and .\\config.ini
        text when given)."""
        folder = self.unix(win_path)
        os.makedirs(folder, exist_ok=True)
        shutil.copy(exe, os.path.join(folder, name))
        if config is not None:
            with open(os.path.join(folder, "config.ini"), "wb") as f:
                f.write(config.encode("gbk") if isinstance(config, str) else config)
        return folder

    # --- programs ----------------------------------------------------------
    def start(self, exe, args=(), cwd=None, capture=False, trace=None, env=None):
        """Starts a Windows program (Linux path) with cwd a Linux folder;
        its output is kept for communicate() only when capture is set. Its
        standard error (with Wine's trace) goes to the file trace, by default
        one of the session's own, and its wait() shows it beside the status.
        env: variables of this program's own, over the session's."""
        out = subprocess.PIPE if capture else subprocess.DEVNULL
        env = dict(self.env, **env) if env else self.env
        if capture:
            return self._keep(Program(["wine", exe, *args], cwd=cwd or self.drive_c, env=env, stdout=out, stderr=out))
        trace = trace or os.path.join(self.tmp, "stderr-%d.txt" % len(self.procs))
        with open(trace, "wb") as err:
            p = Program(["wine", exe, *args], cwd=cwd or self.drive_c, env=env, stdout=out, stderr=err)
        p.stderr_file = trace
        return self._keep(p)

    def _keep(self, p):
        self.procs.append(p)
        return p

    def run(self, exe, args=(), cwd=None, timeout=60):
        p = self.start(exe, args, cwd, capture=True)
        out, err = p.communicate(timeout=timeout)
        return p.returncode, out, err

    def start_installer(self, args=(), folder=DOWNLOADS, config=None, exe=KVSETUP, name="kvsetup.exe", trace=None,
                        env=None):
        """Starts kvsetup.exe (a copy of exe) from folder, with .\\config.ini
        when given (and its Wine trace in the file trace)."""
        self.installer_name = name
        cwd = self.prepare_folder(folder, config, exe, name)
        return self.start(os.path.join(cwd, name), args, cwd, trace=trace, env=env)

    def run_installer(self, args, what, timeout=60, **kwargs):
        """Starts kvsetup.exe as start_installer does and waits for it: its
        ExitStatus and the seconds it took, both printed after what."""
        start = time.monotonic()
        status = self.start_installer(args, **kwargs).wait(timeout)
        seconds = time.monotonic() - start
        print("%s: status %r after %.1f s" % (what, status, seconds))
        return status, seconds

    def wine(self, *args, timeout=60, loader="wine"):
        """Runs a Wine built-in command (reg, cmd, ...) and returns its output.
        The default loader runs them with the installer's bitness."""
        r = subprocess.run([loader, *args], env=self.env, capture_output=True, timeout=timeout)
        return r.returncode, r.stdout, r.stderr

    def reg_query(self, key, value, reader="wine"):
        """(type, data as GBK-decoded text) of a registry value, or None; read
        by a reg.exe of the installer's bitness, or reader=WINE64's 64-bit one."""
        # The session's server stays up between programs (settle), so reg.exe
        # reads the registry the installer wrote, never one being saved by a
        # server going down.
        rc, out, _ = self.wine("reg", "query", key, "/v", value, loader=reader)
        if rc != 0:
            return None
        for line in out.decode("gbk", "replace").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0] == value and parts[1].startswith("REG_"):
                return parts[1], parts[2] if len(parts) > 2 else ""
        return None

    # --- windows -----------------------------------------------------------
    def xdotool(self, *args):
        # Bounded: an xdotool stuck waiting for the X server (seen once, for
        # minutes) answers nothing, and the caller's wait goes on.
        try:
            r = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, timeout=10)
        except subprocess.TimeoutExpired:
            return []
        return r.stdout.split() if r.returncode == 0 else []

    def visible_windows(self, cls=None):
        cls = cls or self.installer_name
        return self.xdotool("search", "--onlyvisible", "--class", cls)

    def wait_for(self, predicate, timeout=30, interval=0.2):
        end = time.time() + timeout
        while time.time() < end:
            value = predicate()
            if value:
                return value
            time.sleep(interval)
        return None

    def window_geometry(self, wid):
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid], env=self.env,
                             capture_output=True, text=True).stdout
        return dict(line.split("=", 1) for line in out.split() if "=" in line)

    def click(self, wid, x, y):
        """Clicks at (x, y) in the window's client coordinates."""
        self._xdo("mousemove", "--window", wid, str(x), str(y), "click", "1")

    def key(self, wid, *keys):
        self._xdo("key", "--window", wid, *keys)

    def _xdo(self, *args):
        # xdotool warns about the focus of a bare Xvfb on every key; the
        # keys arrive all the same.
        subprocess.run(["xdotool", *args], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def type_text(self, wid, text):
        """Types ASCII text key by key. `xdotool type` loses the shift state
        under a bare Xvfb, so capitals and ':' are sent as shifted keys."""
        names = {" ": "space", "\\": "backslash", ":": "shift+semicolon", ".": "period", "-": "minus",
                 "_": "shift+minus", "/": "slash"}
        keys = []
        for ch in text:
            if ch in names:
                keys.append(names[ch])
            elif ch.isupper():
                keys.append("shift+" + ch.lower())
            else:
                keys.append(ch)
        self._xdo("key", "--window", wid, "--delay", "30", *keys)

    def type_unicode(self, wid, text):
        """Enters any text into the installer's focused control as an input
        method does (winmsg.exe posts a WM_CHAR per UTF-16 unit, each once
        the one before shows); xdotool remaps a spare key for a character
        the keyboard lacks, and loses some under load."""
        rc, _, _ = self.run(WINMSG, [self.installer_name, "type", text])
        if rc != 0:
            raise AssertionError("could not type %r into the installer" % text)

    def wait_for_wizard(self, timeout=30):
        """The id of the installer's visible main window, or None."""
        wins = self.wait_for(self.visible_windows, timeout=timeout)
        return wins[0] if wins else None

    def set_install_folder(self, wid, folder):
        """Replaces the text of the wizard's folder box."""
        self.click(wid, *FOLDER_EDIT)
        self.key(wid, "End")
        self.key(wid, "shift+Home")
        self.key(wid, "BackSpace")
        self.type_text(wid, folder)

    def updater_starts(self, folder=INSTALL_DIR):
        """A Start (working folder, command line, parent: the file name of
        the program that started it) for each start of the installed
        kvUpdate.exe, as the sample program records them."""
        path = os.path.join(self.unix(folder), "kvUpdate.started.txt")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            lines = f.read().split(b"\r\n")[:-1]  # the last is empty or still being written
        starts = []
        for line in lines:
            folder, parent, command_line = line.decode("gbk", "replace").split("\t", 2)
            starts.append(Start(folder, command_line, parent))
        return starts

    def controls(self, exe=None):
        """The visible windows of the program as wintext.exe lists them: dicts
        with depth, cls, id, style, rect (x, y, w, h in the top-level window's
        client coordinates) and text (its line breaks as "\n")."""
        rc, out, _ = self.run(WINTEXT, [exe or self.installer_name])
        rows = []
        for line in out.decode("gbk", "replace").splitlines():
            parts = line.rstrip("\r").split("\t", 5)
            if len(parts) == 6:
                rows.append({"depth": int(parts[0]), "cls": parts[1], "id": int(parts[2]), "style": int(parts[3], 16),
                             "rect": tuple(int(v) for v in parts[4].split(",")), "text": parts[5].replace("\x1f", "\n")})
        return rows

    def accessible(self, exe=None):
        """The visible windows of the program as a screen reader asks them
        (MSAA, accnames.exe), in wintext.exe's order: dicts with depth, cls,
        id, role, focused (bool), name and value."""
        rc, out, _ = self.run(ACCNAMES, [exe or self.installer_name])
        rows = []
        for line in out.decode("gbk", "replace").splitlines():
            parts = line.rstrip("\r").split("\t", 6)
            if len(parts) == 7:
                rows.append({"depth": int(parts[0]), "cls": parts[1], "id": int(parts[2]), "role": int(parts[3]),
                             "focused": parts[4] == "1", "name": parts[5], "value": parts[6]})
        return rows

    def focused_name(self):
        """The accessible name of the control with the keyboard focus, or None."""
        return next((r["name"] for r in self.accessible() if r["focused"]), None)

    def static_texts(self, wid=None):
        """Texts of the visible static controls of the wizard's pages."""
        return [c["text"] for c in self.controls() if c["cls"].lower() == "static" and c["depth"] == 2]

    def button_texts(self, wid=None):
        """Captions of the visible push buttons of the wizard's pages (not
        the check boxes, not the close button, whose text only names it)."""
        return [c["text"] for c in self.controls()
                if c["cls"].lower() == "button" and c["depth"] == 2 and (c["style"] & 0xF) in (0, 1, 0xB)]

    def grab(self, wid):
        """The window's pixels as they are on the screen: a function
        (x, y) -> (r, g, b) in client coordinates (the window has no frame)."""
        geo = self.window_geometry(wid)
        left, top = int(geo["X"]), int(geo["Y"])
        raw = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env,
                             capture_output=True, check=True).stdout
        width = int(self.xdotool("getdisplaygeometry")[0])

        def pixel(x, y):
            i = 3 * ((top + y) * width + left + x)
            return tuple(raw[i:i + 3])
        return pixel

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env)
