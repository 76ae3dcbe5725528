"""The installer in a hostile setting, end to end: update and log servers
that hold it, and DLLs planted beside it in a Downloads folder.

Servers: each unattended install must end by itself, with status 0 and
everything installed, however the servers behave. It waits on them at most
8 s for the TCP log's connect plus two HTTP attempts of 20 s (and 1 s for an
attempt's thread to be given up) each: 50 s. The four installs run at once,
each in its own prefix, and all send their logs to the one log port of the
sample payload, whose listen queue is full.

DLLs: kvsetup.exe imports directly only KnownDLLs; a DLL planted under the
name of any other it uses is never loaded, while a program that imports one
of them the ordinary way loads it (so the planted DLLs do work). A
delay-loaded DLL that cannot be loaded at all is no crash: without a report's
DLL the install goes on without that report; without a DLL the windows draw
with, the run ends with 2 at once and says why.
"""
import glob
import os
import re
import subprocess
import threading
import time
import unittest
import zipfile

from kvharness import BUILD, DOWNLOADS, INSTALL_DIR, KVSETUP, LOG_PORT, SHIPPED, UNINSTALL_KEY, WineSession
from listeners import FullBacklogListener, HttpListener, SlowHttpListener, TcpListener

PAYLOAD = os.path.join(BUILD, "payload", "payload.zip")
DLL_LIST = os.path.join(BUILD, "kvsetup.dlls.txt")
PLANTED = os.path.join(BUILD, "testdlls", "planted.dll")
PROBE = os.path.join(BUILD, "testdlls", "dll_probe.exe")
OBJDUMP = "i686-w64-mingw32-objdump"  # of the shipped 32-bit file, whichever programs the tests run

SERVER_BOUND = 8 + 2 * (20 + 1)  # seconds an install may wait on servers
INSTALL_SLACK = 40               # the install itself, four at once under Wine


def config(port):
    return "[update]\r\nupdatehost=127.0.0.1:%d\r\n" % port


def dll_lists():
    lists = {}
    with open(DLL_LIST) as f:
        for line in f:
            kind, _, names = line.strip().partition(" ")
            lists[kind] = names.split()
    return lists["known"], lists["delay-loaded"]


def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


class Install:
    """One unattended install in its own prefix, watched from a thread: the
    Wine process's RSS is sampled every 0.25 s while it runs."""

    def __init__(self, name, http_port):
        self.name, self.http_port = name, http_port
        self.session = WineSession()
        self.samples = []  # (time.monotonic(), RSS in KiB)
        self.rc = self.seconds = None

    def run(self):
        start = time.monotonic()
        p = self.session.start_installer(args=("admin",), config=config(self.http_port))
        while p.poll() is None and time.monotonic() - start < SERVER_BOUND + INSTALL_SLACK + 30:
            kib = rss_kib(p.pid)
            if kib is not None:
                self.samples.append((time.monotonic(), kib))
            time.sleep(0.25)
        if p.poll() is None:
            p.kill()
        self.rc, self.seconds = p.wait(), time.monotonic() - start


class Hardening(unittest.TestCase):
    def assert_installed(self, session):
        folder = session.unix(INSTALL_DIR)
        with zipfile.ZipFile(PAYLOAD) as z:
            for info in z.infolist():
                path = os.path.join(folder, info.filename)
                if info.is_dir():
                    self.assertTrue(os.path.isdir(path), info.filename)
                else:
                    with open(path, "rb") as f:
                        self.assertEqual(f.read(), z.read(info), info.filename)
        self.assertIsNotNone(session.reg_query(UNINSTALL_KEY, "DisplayName"))

    def test_servers_that_hold_the_install(self):
        listeners = {mode: SlowHttpListener(mode).start() for mode in ("silent", "trickle", "endless")}
        answering = HttpListener().start()
        log = FullBacklogListener(port=LOG_PORT).start()
        installs = [Install(mode, l.port) for mode, l in listeners.items()] + [Install("log", answering.port)]
        try:
            threads = [threading.Thread(target=i.run) for i in installs]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            for i in installs:
                print("%s: status %s after %.1f s" % (i.name, i.rc, i.seconds))
                self.assertEqual(i.rc, 0, i.name)
                self.assertLess(i.seconds, SERVER_BOUND + INSTALL_SLACK, i.name)
                self.assert_installed(i.session)
            for mode, l in listeners.items():
                self.assertEqual(l.connections, 2, mode)  # the first attempt and the one retry
            self.assertEqual(len(answering.requests), 1)

            # Memory while the endless body was offered: from its first
            # connection to the end of the install.
            endless = [i for i in installs if i.name == "endless"][0]
            since = listeners["endless"].first_connection
            during = [kib for t, kib in endless.samples if t >= since]
            before = [kib for t, kib in endless.samples if t < since]
            self.assertTrue(during and before)
            print("endless body: %d bytes offered; RSS %d KiB before, %d-%d KiB during (%d samples)"
                  % (listeners["endless"].sent, before[-1], min(during), max(during), len(during)))
            self.assertLess(max(during) - before[-1], 8 * 1024)
        finally:
            for l in list(listeners.values()) + [answering, log]:
                l.stop()
            for i in installs:
                i.session.close()

    def test_dlls_that_cannot_be_loaded(self):
        # Each DLL switched off in turn, with Wine's crash dialog off: a
        # crash ends the run (and fails its row) instead of waiting for a click.
        with WineSession() as s, HttpListener() as http, TcpListener(port=LOG_PORT):
            s.wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0",
                   "/f")
            overrides = s.env["WINEDLLOVERRIDES"]
            folder = s.unix(INSTALL_DIR)
            for dll, args in [("gdiplus", ()), ("gdiplus", ("admin",)), ("comctl32", ()), ("comctl32", ("admin",)),
                              ("msimg32", ("admin",))]:
                s.env["WINEDLLOVERRIDES"] = overrides + ";%s=" % dll
                start = time.monotonic()
                rc = s.start_installer(args=args, config=config(http.port)).wait(30)
                row = "%s off, %s" % (dll, " ".join(args) or "wizard")
                self.assertEqual(rc, 2, row)
                self.assertLess(time.monotonic() - start, 10, row)
                self.assertIn("%s.dll cannot be loaded" % dll, rc.said, row)
                self.assertFalse(os.path.exists(folder), row)
            self.assertEqual(http.requests, [])
            # The reports' DLLs: each report that needs one is skipped.
            for dll, reports in [("wininet", 0), ("iphlpapi", 1)]:
                s.env["WINEDLLOVERRIDES"] = overrides + ";%s=" % dll
                self.assertEqual(s.start_installer(args=("admin",), config=config(http.port)).wait(120), 0, dll)
                self.assert_installed(s)
                for value in ("InstallLocation", "EstimatedSize", "DisplayVersion"):
                    self.assertIsNotNone(s.reg_query(UNINSTALL_KEY, value), (dll, value))
                self.assertEqual(len(http.wait_for_requests(reports, timeout=5)), reports, dll)

    def test_import_table_names_only_known_dlls(self):
        known, delayed = dll_lists()
        out = subprocess.run([OBJDUMP, "-p", os.path.join(SHIPPED, "kvsetup.exe")], check=True, capture_output=True, text=True).stdout
        imported = re.findall(r"DLL Name: (\S+)", out)
        print("kvsetup.exe imports: " + " ".join(imported))
        self.assertIn("KERNEL32.dll", imported)
        not_known = [n for n in imported if n.lower()[:-len(".dll")] not in known]
        self.assertEqual(not_known, [], "import only KnownDLLs; delay-load the others (cmake/KvSystemDlls.cmake)")
        self.assertFalse(set(known) & set(delayed))

    def test_planted_dlls_are_not_loaded(self):
        _, delayed = dll_lists()
        # The delay-loaded DLLs, and DLLs that the system's own DLLs load on
        # the installer's behalf by name. Not version and uxtheme: Wine's own
        # DLLs import those before the program's first instruction and, with
        # no KnownDLLs of its own, take them from the program's folder when
        # told to prefer native DLLs; on Windows the known DLLs that load
        # them take their dependencies from the system folder. Nor propsys:
        # Wine's GDI+ decodes the close button's faces through
        # windowscodecs, which COM loads from the system folder and whose
        # own import of propsys Wine again resolves through the program's
        # folder first; Windows resolves a DLL that COM loads by its full
        # path from that DLL's folder first.
        names = sorted(set(delayed) | {"dwmapi", "cryptbase", "userenv", "winmm", "dnsapi", "winhttp",
                                       "urlmon", "iertutil", "msctf", "textshaping"})
        with WineSession() as s, HttpListener() as http, TcpListener(port=LOG_PORT):
            folder = s.prepare_folder(DOWNLOADS, config(http.port))
            for name in names:
                subprocess.run(["cp", PLANTED, os.path.join(folder, name + ".dll")], check=True)
            s.env["WINEDLLOVERRIDES"] += ";%s=n,b" % ",".join(names)
            p = s.start(os.path.join(folder, "kvsetup.exe"), ["admin"], folder)
            self.assertEqual(p.wait(120), 0)
            self.assert_installed(s)
            self.assertEqual(len(http.wait_for_requests(1, timeout=5)), 1)  # WinINet was loaded and used
            self.assertEqual(glob.glob(os.path.join(folder, "*.loaded")), [])

            # The same planted DLLs do load into a program that imports one
            # of them the ordinary way.
            subprocess.run(["cp", PROBE, folder], check=True)
            rc, out, _ = s.run(os.path.join(folder, "dll_probe.exe"), cwd=folder)
            self.assertEqual((rc, out.strip()), (0, b"50"))  # ERROR_NOT_SUPPORTED from the planted DLL
            self.assertEqual([os.path.basename(m).lower() for m in glob.glob(os.path.join(folder, "*.loaded"))],
                             ["iphlpapi.dll.loaded"])


if __name__ == "__main__":
    unittest.main()
