"""The running-client question of the unattended install.

A stand-in client (the sleeper test program, which runs until it is ended)
is started from the installation folder under the client's and the
updater's names; the installer must ask "发现Kelvane正在运行，是否终止?" in a
box titled "提示", end them on OK and stop before touching anything on
Cancel. Where nobody sees its desktop (a window station of its own, as a
service's programs have), it must not ask, and ends as on Cancel.
"""
import os
import shutil
import subprocess
import time
import unittest
import zipfile

import kvharness as h
from registration_test import CONFIG, CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS, UNINSTALL_KEY, link_info

SLEEPER = os.path.join(h.BUILD, "tests", "windows", "sleeper.exe")
OWNSTATION = os.path.join(h.BUILD, "ownstation.exe")  # runs a program on a window station nobody sees
PAYLOAD_ZIP = os.path.join(h.BUILD, "payload", "payload.zip")
QUESTION_TITLE = "提示"
QUESTION_TEXT = "发现Kelvane正在运行，是否终止?"
QUESTION_WAIT = 60  # seconds, at most: a loaded machine starts Wine's desktop slowly


def read(path):
    with open(path, "rb") as f:
        return f.read()


def folder_contents(folder):
    return {n: read(os.path.join(folder, n)) for n in os.listdir(folder)}


def payload_bytes(name):
    """The bytes the installer carries for name, or None when it has none."""
    try:
        with zipfile.ZipFile(PAYLOAD_ZIP) as z:
            return z.read(name)
    except (OSError, KeyError, zipfile.BadZipFile):
        return None


class RunningClientTest(unittest.TestCase):
    def setUp(self):
        if not os.path.isfile(SLEEPER):
            self.skipTest("sleeper.exe not built at %s" % SLEEPER)
        self.session = h.WineSession()
        self.addCleanup(self.session.close)
        self.install_dir = self.session.unix(h.INSTALL_DIR)
        os.makedirs(self.install_dir)

    # --- helpers -------------------------------------------------------------
    def start_program(self, folder, name):
        """Starts a copy of the sleeper as folder\\name; returns once Windows runs it."""
        os.makedirs(folder, exist_ok=True)
        exe = os.path.join(folder, name)
        shutil.copy(SLEEPER, exe)
        p = self.session.start(exe, cwd=folder)
        # The Wine loader re-executes itself as the program: from then on the
        # Linux process names the program instead of the loader.
        started = self.session.wait_for(lambda: self._runs_as(p, name), timeout=30)
        self.assertTrue(started, "%s did not start" % name)
        time.sleep(0.5)
        return p

    @staticmethod
    def _runs_as(p, name):
        try:
            with open("/proc/%d/cmdline" % p.pid, "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            return False
        return argv0.replace("\\", "/").rsplit("/", 1)[-1] == name

    def question_windows(self):
        return self.session.xdotool("search", "--name", "^%s$" % QUESTION_TITLE)

    def wait_for_question(self, installer):
        wid = self.session.wait_for(lambda: self.question_windows() or installer.poll() is not None,
                                    timeout=QUESTION_WAIT)
        ended = installer.wait() if installer.poll() is not None else "still running"
        self.assertTrue(wid and wid is not True, "no %s window within %d s; the installer: %r"
                        % (QUESTION_TITLE, QUESTION_WAIT, ended))
        return wid[0]

    def answer(self, installer, key):
        wid = self.wait_for_question(installer)
        self.session.key(wid, key)
        installer.communicate(timeout=120)
        return installer.returncode

    # --- cases ---------------------------------------------------------------
    def test_ok_ends_client_and_updater_then_installs(self):
        original = read(SLEEPER)
        client = self.start_program(self.install_dir, "kvClient.exe")
        updater = self.start_program(self.install_dir, "kvUpdate.exe")
        # Same name but for letter case: not the client, must keep running.
        bystander = self.start_program(self.session.unix(r"C:\other"), "KVCLIENT.EXE")

        installer = self.session.start_installer(["admin"], config=CONFIG)
        self.assertEqual(0, self.answer(installer, "Return"))

        self.assertEqual(0, client.wait(10), "the client ends with exit code 0")
        self.assertEqual(0, updater.wait(10), "the updater ends with exit code 0")
        self.assertIsNone(bystander.poll())
        self.assertEqual(("REG_SZ", "Kelvane"), self.session.reg_query(UNINSTALL_KEY, "DisplayName"))
        self.assertIsNotNone(link_info(self.session, CSIDL_PROGRAMS, "Kelvane\\Kelvane.lnk"))

        # The ended client no longer locks its file: it now holds the payload's bytes.
        installed = read(os.path.join(self.install_dir, "kvClient.exe"))
        expected = payload_bytes("kvClient.exe")
        if expected is None:
            self.skipTest("this payload carries no kvClient.exe")
        self.assertNotEqual(original, installed)
        self.assertEqual(expected, installed)

    def test_cancel_ends_installer_before_anything_is_written(self):
        # On every system code page: the question reads the same, and the
        # client is found by its name in the wide process list.
        for code_page in (936, 1252, 950):
            with self.subTest(code_page=code_page):
                if code_page != 936:
                    self.session = h.WineSession(code_page=code_page)
                    self.addCleanup(self.session.close)
                    self.install_dir = self.session.unix(h.INSTALL_DIR)
                    os.makedirs(self.install_dir)
                client = self.start_program(self.install_dir, "kvClient.exe")
                before = folder_contents(self.install_dir)

                installer = self.session.start_installer(["admin"], config=CONFIG)
                self.wait_for_question(installer)
                self.assertIn(QUESTION_TEXT, [c["text"] for c in self.session.controls()])
                self.assertEqual(1, self.answer(installer, "Escape"))
                self.assertRegex(installer.wait().said, r"kvClient\.exe runs \(process \d+\): it is asked to end\s+"
                                 r"kvsetup: the running program was not ended; nothing was installed")

                self.assertIsNone(client.poll(), "the client keeps running")
                after = folder_contents(self.install_dir)
                self.assertEqual(before, after)
                self.assertIsNone(self.session.reg_query(UNINSTALL_KEY, "DisplayName"))
                self.assertIsNone(link_info(self.session, CSIDL_PROGRAMS, "Kelvane\\Kelvane.lnk"))
                self.assertIsNone(link_info(self.session, CSIDL_DESKTOPDIRECTORY, "Kelvane.lnk"))

    def test_no_question_where_nobody_sees_the_desktop(self):
        if not os.path.isfile(OWNSTATION):
            self.skipTest("ownstation.exe not built at %s" % OWNSTATION)
        client = self.start_program(self.install_dir, "kvClient.exe")
        before = folder_contents(self.install_dir)

        folder = self.session.prepare_folder(h.DOWNLOADS, config=CONFIG)
        installer = self.session.start(OWNSTATION, [h.DOWNLOADS + "\\kvsetup.exe", "admin"], cwd=folder,
                                       capture=True)
        try:
            out, err = installer.communicate(timeout=QUESTION_WAIT)
        except subprocess.TimeoutExpired:
            installer.kill()
            self.fail("the installer still waits after %d s: a question nobody can see" % QUESTION_WAIT)
        said = err.decode("utf-8", "replace")
        # The premise: Wine made the tool's station invisible, and its own visible.
        self.assertIn("visible\t0\t1", out.decode("ascii", "replace"), said)
        self.assertEqual(1, installer.returncode, said)
        self.assertRegex(said, r"kvsetup: could not ask whether to end the running program: nobody sees this "
                         r"desktop \(its window station is not visible\)\s+"
                         r"kvsetup: the running program was not ended; nothing was installed")

        self.assertIsNone(client.poll(), "the client keeps running")
        self.assertEqual(before, folder_contents(self.install_dir))
        self.assertIsNone(self.session.reg_query(UNINSTALL_KEY, "DisplayName"))
        self.assertIsNone(link_info(self.session, CSIDL_PROGRAMS, "Kelvane\\Kelvane.lnk"))

    def test_no_client_no_question(self):
        # Only look-alikes run: a suffix of the client's name and another
        # program from the installation folder.
        bak = self.start_program(self.install_dir, "kvClient.exe.bak")
        other = self.start_program(self.install_dir, "kvOther.exe")

        installer = self.session.start_installer(["admin"], config=CONFIG)
        seen = []
        end = time.time() + 120
        while installer.poll() is None and time.time() < end:
            seen += self.question_windows()
            time.sleep(0.2)
        self.assertEqual(0, installer.wait(1))
        self.assertEqual([], seen)
        self.assertIsNone(bak.poll())
        self.assertIsNone(other.poll())
        self.assertEqual(("REG_SZ", "Brevanta"), self.session.reg_query(UNINSTALL_KEY, "Publisher"))


if __name__ == "__main__":
    unittest.main()
