"""Start-up and the wizard, end to end: which run the command line selects,
that the unattended run never shows a window and ends by itself, and the
interactive road through the pages to the updater or the finish page."""
import os
import time
import unittest

from kvharness import CANCEL_BUTTON, CLOSE_BUTTON, DOWNLOADS, FINISH_BUTTON, INSTALL_BUTTON, INSTALL_DIR, RUN_CHECKBOX, WineSession

# Reports go to closed loopback ports: they fail at once and change nothing.
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"


def updater_starts(session):
    path = os.path.join(session.unix(INSTALL_DIR), "kvUpdate.started.txt")
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        return f.read().decode("gbk", "replace").splitlines()


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
            self.assertLess(elapsed, 10)
            self.assertEqual(seen, [], "a window of the unattended run became visible")
            self.assertTrue(os.path.isfile(os.path.join(s.unix(INSTALL_DIR), "kvClient.exe")))
            self.assertEqual(updater_starts(s), [], "the unattended run must not start the updater")

    def test_admin_in_any_argument_form_selects_the_unattended_run(self):
        with WineSession() as s:
            for arg in ("/admin", "-admin"):
                p = s.start_installer([arg], config=CONFIG)
                self.assertEqual(p.wait(30), 0, arg)
                self.assertEqual(s.visible_windows(), [])


class InteractiveRun(unittest.TestCase):
    def wait_window(self, s):
        wid = s.wait_for_wizard()
        self.assertTrue(wid, "the wizard did not show")
        return wid

    def test_started_from_a_folder_named_admin_it_waits_for_the_user(self):
        with WineSession() as s:
            p = s.start_installer([], folder=DOWNLOADS, config=CONFIG)
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
            starts = s.wait_for(lambda: updater_starts(s), timeout=20)
            self.assertTrue(starts, "kvUpdate.exe was not started")
            self.assertIn("Program Files\\Kelvane", starts[0])

    def test_install_without_run_ends_on_the_finish_page(self):
        with WineSession() as s:
            p = s.start_installer([], config=CONFIG)
            wid = self.wait_window(s)
            s.click(wid, *RUN_CHECKBOX)
            s.click(wid, *INSTALL_BUTTON)
            self.assertTrue(s.wait_for(lambda: os.path.isfile(os.path.join(s.unix(INSTALL_DIR), "kvClient.exe")), 30))
            time.sleep(6)  # the fourth tick has passed: the finish page is up
            self.assertIsNone(p.poll(), "the installer quit instead of showing the finish page")
            self.assertEqual(updater_starts(s), [])
            s.click(wid, *FINISH_BUTTON)
            self.assertEqual(p.wait(30), 0)
            self.assertTrue(s.wait_for(lambda: updater_starts(s), timeout=20), "the finish button did not start kvUpdate.exe")

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
        # A folder too long to install into: every entry fails, so the run
        # ends on the finish page even with "运行软件" ticked, and exits with 2.
        # The folder is taken whole, not cut to a buffer's size.
        folder = "C:\\" + "a" * 280
        with WineSession() as s:
            p = s.start_installer([], config=CONFIG)
            wid = self.wait_window(s)
            s.set_install_folder(wid, folder)
            s.click(wid, *INSTALL_BUTTON)
            time.sleep(8)  # past the fourth tick
            self.assertIsNone(p.poll(), "a failed install must end on the finish page")
            self.assertEqual([n for n in os.listdir(s.drive_c) if n.startswith("aaa")], [])
            s.click(wid, *FINISH_BUTTON)
            self.assertEqual(p.wait(30), 2)
            self.assertEqual(updater_starts(s), [])
            key = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane"
            self.assertEqual(s.reg_query(key, "UninstallString"), ("REG_SZ", folder + "\\kv_Uninstall.exe"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
