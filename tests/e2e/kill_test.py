"""An install killed at any moment can be repeated: after each kill, an
undisturbed unattended install leaves the files, attributes, Uninstall values
and shortcut files of an install nobody disturbed, and no temporary file.

kvsetup_bulk.exe carries 300 more files, so that its unpacking can be caught
at its first, middle and last entries; a full listen queue on the log port and
a silent update host hold it at each report.

A polite close (WM_CLOSE, what taskkill without /F sends to the program's
windows) is not a kill: the unattended run does not obey it at any moment, and
ends with the complete install and status 0. A session that ends anyway waits
at most 3 s for the install, and never ends it with 0 before its files, values
and shortcuts are in place."""
import hashlib
import os
import time
import unittest
import zipfile

import kvharness as h
from listeners import FullBacklogListener, SlowHttpListener
from payload_test import attrib_flags
from registration_test import CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS, LNKINFO, link_info

BULK = os.path.join(h.BUILD, "kvsetup_bulk.exe")
PAYLOAD = os.path.join(h.BUILD, "payload", "payload_bulk.zip")
CLOSED = "[update]\r\nupdatehost=127.0.0.1:1\r\n"  # reports fail at once
LINKS = [(CSIDL_PROGRAMS, "Kelvane\\Kelvane.lnk"), (CSIDL_PROGRAMS, "Kelvane\\卸载.lnk"),
         (CSIDL_DESKTOPDIRECTORY, "Kelvane.lnk")]


def files_written(session):
    """Files below the install folder (temporary ones left out)."""
    n = 0
    for _, _, names in os.walk(session.unix(h.INSTALL_DIR)):
        n += sum(1 for name in names if not name.startswith("~kv"))
    return n


def state(session):
    """What an install leaves: file bytes, attributes, Uninstall values,
    shortcuts, and the temporary files anywhere below the folder."""
    folder = session.unix(h.INSTALL_DIR)
    files, temporary = {}, []
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            if name.startswith("~kv") and name.endswith(".tmp"):
                temporary.append(os.path.relpath(path, folder))
            else:
                with open(path, "rb") as f:
                    files[os.path.relpath(path, folder)] = hashlib.sha256(f.read()).hexdigest()
    values = {name: session.reg_query(h.UNINSTALL_KEY, name)
              for name in ("DisplayName", "Publisher", "UninstallString", "DisplayIcon")}
    links = {relative: link_info(session, csidl, relative) for csidl, relative in LINKS}
    return {"files": files, "attributes": attrib_flags(session, h.INSTALL_DIR), "values": values,
            "links": links, "temporary": temporary}


class KilledInstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (os.path.isfile(BULK) and os.path.isfile(LNKINFO)):
            raise unittest.SkipTest("kvsetup_bulk.exe or lnkinfo.exe not built")
        with zipfile.ZipFile(PAYLOAD) as z:
            cls.payload = {info.filename: hashlib.sha256(z.read(info)).hexdigest()
                           for info in z.infolist() if not info.is_dir()}
        with h.WineSession() as s:
            cls.assert_ends(s.start_installer(["admin"], config=CLOSED, exe=BULK))
            cls.undisturbed = state(s)

    @staticmethod
    def assert_ends(p, timeout=120):
        status = p.wait(timeout)
        if status != 0:
            raise AssertionError("the install ended with status %r" % status)

    def test_undisturbed_install_is_the_payload(self):
        files = {k.replace(os.sep, "/"): v for k, v in self.undisturbed["files"].items()}
        self.assertIsNotNone(files.pop("kvsetup.files", None), "no install record")
        self.assertEqual(files, self.payload)
        self.assertEqual(self.undisturbed["temporary"], [])
        self.assertNotIn(None, self.undisturbed["values"].values())
        self.assertNotIn(None, self.undisturbed["links"].values())

    def test_a_repeat_after_a_kill_at_any_moment_mends_the_install(self):
        total = len(self.payload)
        moments = [  # (what, is it now, given the session and the update host)
            ("first entry", lambda s, http: files_written(s) >= 1),
            ("a quarter", lambda s, http: files_written(s) >= total // 4),
            ("mid-unpack", lambda s, http: files_written(s) >= total // 2),
            ("three quarters", lambda s, http: files_written(s) >= 3 * total // 4),
            ("last entry", lambda s, http: files_written(s) >= total - 1),
            ("registration", lambda s, http: files_written(s) >= total),
            ("TCP log", lambda s, http: files_written(s) >= total and time.sleep(2) is None),
            ("first HTTP attempt", lambda s, http: http.connections >= 1),
            ("first HTTP attempt, 10 s on", lambda s, http: http.connections >= 1 and time.sleep(10) is None),
            ("second HTTP attempt", lambda s, http: http.connections >= 2),
        ]
        for what, now in moments:
            with self.subTest(killed_at=what), h.WineSession() as s:
                http = SlowHttpListener("silent").start()
                log = FullBacklogListener(port=h.LOG_PORT).start()
                try:
                    p = s.start_installer(["admin"], config="[update]\r\nupdatehost=127.0.0.1:%d\r\n" % http.port,
                                          exe=BULK)
                    self.assertTrue(s.wait_for(lambda: now(s, http) or p.poll() is not None, timeout=90,
                                               interval=0.02), what)
                    self.assertIsNone(p.poll(), "the install ended before the kill at the %s" % what)
                    s.kill()
                finally:
                    log.stop()
                    http.stop()
                p = s.start_installer(["admin"], config=CLOSED, exe=BULK)
                self.assertEqual(p.wait(120), 0, "the repeat after a kill at the %s" % what)
                after = state(s)
                for key, undisturbed in self.undisturbed.items():
                    self.assertEqual(after[key], undisturbed, "%s after a kill at the %s" % (key, what))

    def test_a_polite_close_never_cuts_the_install_short(self):
        if not os.path.isfile(h.WINMSG):
            self.skipTest("winmsg.exe not built")

        def taskkill(s):
            rc, out, err = s.wine("taskkill", "/im", "kvsetup.exe")  # no /F: WM_CLOSE to its windows
            self.assertEqual(rc, 0, (out + err).decode("gbk", "replace"))

        def wm_close_mid_unpack(s):
            # The unpacking takes a fraction of a second, less than taskkill
            # needs to start: a probe that waits in the prefix posts the same
            # WM_CLOSE the moment the 150th bulk file is there.
            bulk = h.INSTALL_DIR + "\\bulk\\"
            rc, out, _ = s.run(h.WINMSG, ["kvsetup.exe", "close", bulk + "f0150.dat", bulk + "f0299.dat"])
            self.assertEqual((rc, out.split()), (0, [b"later", b"0"]), "the close did not land inside the unpacking")

        def logoff(s):
            self.assertEqual(s.run(h.WINMSG, ["kvsetup.exe", "endsession"])[0], 0)

        # (when, is it now given the session and the update host, how it is
        # closed, the exit status, the seconds it may take at most)
        cases = [
            ("1 s", lambda s, http: time.sleep(1) is None, taskkill, 0, 120),
            ("first entry", lambda s, http: files_written(s) >= 1, taskkill, 0, 120),
            ("mid-unpack", lambda s, http: True, wm_close_mid_unpack, 0, 120),
            # Files, values and shortcuts are in place; the update host holds
            # the last report, which decides nothing: the install earned 0.
            ("HTTP report, session ends", lambda s, http: http.connections >= 1, logoff, 0, 3 + 10),
        ]
        for when, now, close, status, bound in cases:
            with self.subTest(closed_at=when), h.WineSession() as s, SlowHttpListener("silent") as http:
                p = s.start_installer(["admin"], config="[update]\r\nupdatehost=127.0.0.1:%d\r\n" % http.port,
                                      exe=BULK)
                self.assertTrue(s.wait_for(lambda: now(s, http) or p.poll() is not None, timeout=90, interval=0.02),
                                when)
                self.assertIsNone(p.poll(), "the install ended before the close at the %s" % when)
                close(s)
                self.assertEqual(p.wait(bound), status)
                self.assertGreaterEqual(http.connections, 1, "the step was cut short before its report")
                after = state(s)
                for key, undisturbed in self.undisturbed.items():
                    self.assertEqual(after[key], undisturbed, "%s after a close at the %s" % (key, when))


if __name__ == "__main__":
    unittest.main()
