"""Start-up and the wizard, end to end: which run the command line selects,
that the unattended run never shows a window and ends by itself, and the
interactive road through the pages to the updater or the finish page."""
import os
import time
import unittest

from kvharness import (BUILD, CANCEL_BUTTON, CLOSE_BUTTON, DOWNLOADS, FINISH_BUTTON, INSTALL_BUTTON, INSTALL_DIR,
                       KVSETUP, KVSETUP_BADPAYLOAD, RUN_CHECKBOX, UNINSTALL_KEY, WineSession)

# Reports go to closed loopback ports: they fail at once and change nothing.
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"
KVSETUP_NOWINDOW = os.path.join(BUILD, "kvsetup_nowindow.exe")  # its windows are never made


class UnattendedRun(unittest.TestCase):
    def test_admin_shows_no_window_and_ends_by_itself(self):
        with WineSession() as s:
            start = time.time()
            p = s.start_installer(["admin"], config=CONFIG)
            seen = []
            while p.poll() is None and time.time() - start < 30:
                seen += s.visible_windows()
                time.sleep(0.1)
            elapsed = time.time() - start
            self.assertEqual(p.poll(), 0)
            self.assertLess(elapsed, 20)  # by itself, well before the loop's 30 s
            self.assertEqual(seen, [], "a window of the unattended run became visible")
            self.assertTrue(os.path.isfile(os.path.join(s.unix(INSTALL_DIR), "kvClient.exe")))
            self.assertEqual(s.updater_starts(), [], "the unattended run must not start the updater")

    def test_admin_in_any_argument_form_selects_the_unattended_run(self):
        # Also from a download folder whose name GBK cannot hold (Korean):
        # the command line is only searched.
        with WineSession() as s:
            for arg, folder in (("/admin", DOWNLOADS), ("-admin", DOWNLOADS), ("admin", DOWNLOADS + "\\한국")):
                p = s.start_installer([arg], folder=folder, config=CONFIG)
                self.assertEqual(p.wait(30), 0, (arg, folder))
                self.assertEqual(s.visible_windows(), [])
            self.assertTrue(os.path.isfile(os.path.join(s.unix(INSTALL_DIR), "kvClient.exe")))

    def test_a_run_that_cannot_start_says_why_and_writes_nothing(self):
        def unusable_program_files(s):
            # A Program Files path GBK cannot hold, on a volume that gives it
            # no short name: the default folder would be "\\Kelvane\\".
            for view in ("/reg:32", "/reg:64"):
                s.wine("reg", "add", r"HKLM\Software\Microsoft\Windows\CurrentVersion", "/v", "ProgramFilesDir",
                       "/d", "C:\\한국\\Program Files", "/f", view)

        # (case, installer, arguments, what the prefix is given first, what it says)
        cases = [
            ("no install window", KVSETUP_NOWINDOW, ["admin"], None,
             "the install window could not be made (system error 1400); nothing was installed"),
            ("no wizard", KVSETUP_NOWINDOW, [], None,
             "the wizard could not be made (system error 1400); nothing was installed"),
            ("unusable default folder", KVSETUP, ["admin"], unusable_program_files,
             'the default install folder "\\Kelvane\\" cannot be used'),
        ]
        for case, exe, args, prepare, line in cases:
            if not os.path.isfile(exe):
                self.skipTest("%s not built" % exe)
            with self.subTest(case), WineSession() as s:
                if prepare:
                    prepare(s)
                folder = s.prepare_folder(DOWNLOADS, CONFIG, exe)
                before = drive_files(s)
                status = s.start(os.path.join(folder, "kvsetup.exe"), args, folder).wait(60)
                self.assertEqual(status, 2)
                self.assertIn("kvsetup: " + line, status.said)
                self.assertEqual(drive_files(s), before, "written on the drive")
                self.assertIsNone(s.reg_query(UNINSTALL_KEY, "Publisher"))


def drive_files(s):
    """Every file and folder of the prefix's drive C: outside Windows' own."""
    found = set()
    for top, dirs, files in os.walk(s.drive_c):
        rel = os.path.relpath(top, s.drive_c)
        if rel.split(os.sep)[0] == "windows":
            continue
        found.update(os.path.join(rel, n) for n in dirs + files)
    return found


class InteractiveRun(unittest.TestCase):
    def wait_window(self, s):
        wid = s.wait_for_wizard()
        self.assertTrue(wid, "the wizard did not show")
        return wid

    def test_started_from_a_folder_named_admin_it_waits_for_the_user(self):
        # The folder's name also holds characters GBK cannot hold (Korean).
        with WineSession() as s:
            p = s.start_installer([], folder=DOWNLOADS + "\\한국 admin", config=CONFIG)
            wid = self.wait_window(s)
            geo = s.window_geometry(wid)
            self.assertEqual((geo.get("WIDTH"), geo.get("HEIGHT")), ("688", "367"))
            time.sleep(5)
            self.assertIsNone(p.poll(), "the interactive run ended without the user")
            self.assertFalse(os.path.exists(s.unix(INSTALL_DIR)), "it installed without being asked")
            s.click(wid, *CANCEL_BUTTON)
            self.assertEqual(p.wait(20), 0)
            self.assertFalse(os.path.exists(s.unix(INSTALL_DIR)))

    def test_install_with_run_ticked_starts_the_updater_and_quits(self):
        with WineSession() as s:
            p = s.start_installer([], config=CONFIG)
            wid = self.wait_window(s)
            s.click(wid, *INSTALL_BUTTON)
            self.assertEqual(p.wait(60), 0)
            starts = s.wait_for(lambda: s.updater_starts(), timeout=20)
            self.assertTrue(starts, "kvUpdate.exe was not started")
            self.assertEqual(starts[0][0], INSTALL_DIR, "the updater's working folder")
            # By the desktop's shell, as the desktop's user: not as a child of the elevated installer.
            self.assertEqual(starts[0].parent, "explorer.exe")

    def test_install_without_run_ends_on_the_finish_page(self):
        with WineSession() as s:
            p = s.start_installer([], config=CONFIG)
            wid = self.wait_window(s)
            s.click(wid, *RUN_CHECKBOX)
            s.click(wid, *INSTALL_BUTTON)
            self.assertTrue(s.wait_for(lambda: os.path.isfile(os.path.join(s.unix(INSTALL_DIR), "kvClient.exe")), 30))
            time.sleep(6)  # the fourth tick has passed: the finish page is up
            self.assertIsNone(p.poll(), "the installer quit instead of showing the finish page")
            self.assertEqual(s.updater_starts(), [])
            s.click(wid, *FINISH_BUTTON)
            self.assertEqual(p.wait(30), 0)
            starts = s.wait_for(lambda: s.updater_starts(), timeout=20)
            self.assertTrue(starts, "the finish button did not start kvUpdate.exe")
            self.assertEqual(starts[0][0], INSTALL_DIR, "the updater's working folder")
            self.assertIn("kvUpdate.exe", starts[0][1])
            self.assertEqual(starts[0].parent, "explorer.exe")

    def test_close_button_during_the_install_only_asks_to_wait(self):
        with WineSession() as s:
            p = s.start_installer([], config=CONFIG)
            wid = self.wait_window(s)
            s.click(wid, *RUN_CHECKBOX)
            s.click(wid, *INSTALL_BUTTON)
            time.sleep(1.5)
            s.click(wid, *CLOSE_BUTTON)
            notice = s.wait_for(lambda: s.xdotool("search", "--onlyvisible", "--name", "^kvsetup$"), timeout=20)
            self.assertTrue(notice, "no notice while the install runs")
            s.key(notice[0], "Return")
            time.sleep(6)
            self.assertIsNone(p.poll(), "the close button ended a running install")
            # On the finish page the same button ends the installer.
            s.click(wid, *CLOSE_BUTTON)
            self.assertEqual(p.wait(30), 0)

    def test_failed_install_shows_the_failure_and_starts_nothing(self):
        # A payload whose readme.txt fails its CRC-32: the run ends on the
        # failure page even with "运行软件" ticked, and exits with 2.
        with WineSession() as s:
            p = s.start_installer([], config=CONFIG, exe=KVSETUP_BADPAYLOAD)
            wid = self.wait_window(s)
            s.click(wid, *INSTALL_BUTTON)
            time.sleep(8)  # past the fourth tick
            self.assertIsNone(p.poll(), "a failed install must end on the finish page")
            self.assertEqual(s.static_texts(wid), ["安装失败!"])
            self.assertEqual(s.button_texts(wid), ["退出"])
            s.click(wid, *FINISH_BUTTON)
            self.assertEqual(p.wait(30), 2)
            self.assertEqual(s.updater_starts(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
