"""The installer on a user's machine, where Wine is kinder than Windows: a
drive too small for the install is said before anything is written, and a
file another program holds is waited for, then named and (in the wizard)
asked about. The drive is a 4 MiB tmpfs made Program Files; the holder is
holdfile.exe, which opens a file with no sharing."""
import glob
import os
import re
import subprocess
import time
import unittest

from kvharness import INSTALL_BUTTON, INSTALL_DIR, KVSETUP_BIG, RUN_CHECKBOX, UNINSTALL_KEY, WineSession

CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"  # reports fail at once
APPS = "K:\\Apps"
HELD = "datafile\\strings.txt"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def boxes(s, title):
    return s.xdotool("search", "--onlyvisible", "--name", "^%s$" % title)


def box_text(s):
    return " ".join(c["text"] for c in s.controls() if c["cls"].lower() == "static" and c["depth"] == 1).strip()


class SmallDrive(unittest.TestCase):
    def drive_session(self):
        s = WineSession()
        self.drive = s.small_drive()
        os.makedirs(os.path.join(self.drive, "Apps"))
        s.move_program_files(APPS)
        return s

    def test_unattended_run_says_so_before_writing_and_a_payload_that_fits_installs(self):
        with self.drive_session() as s:
            status = s.start_installer(["admin"], config=CONFIG, exe=KVSETUP_BIG).wait(60)
            self.assertEqual(status, 4)
            self.assertRegex(status.said, r"kvsetup: not enough disk space on K:\\: the install needs \d+ bytes, "
                                          r"\d+ are free; nothing was installed")
            self.assertEqual(os.listdir(os.path.join(self.drive, "Apps")), [])
            self.assertIsNone(s.reg_query(UNINSTALL_KEY, "Publisher"))
            # The sample payload fits: it installs there.
            self.assertEqual(s.start_installer(["admin"], config=CONFIG).wait(120), 0)
            self.assertTrue(os.path.isfile(os.path.join(self.drive, "Apps", "Kelvane", "kvClient.exe")))

    def test_wizard_says_so_and_stays_on_the_folder_page(self):
        with self.drive_session() as s:
            p = s.start_installer([], config=CONFIG, exe=KVSETUP_BIG)
            wid = s.wait_for_wizard()
            self.assertTrue(wid, "the wizard did not show")
            time.sleep(1)
            s.click(wid, *INSTALL_BUTTON)
            box = s.wait_for(lambda: boxes(s, "kvsetup"), timeout=20)
            self.assertTrue(box, "no message about the space")
            text = box_text(s)
            self.assertRegex(text, r"^磁盘空间不足：安装需要 [78] MB，K:\\ 只有 [34] MB 可用。请选择其他位置或释放磁盘空间。$")
            s.key(box[0], "Return")
            self.assertTrue(s.wait_for(lambda: not boxes(s, "kvsetup"), timeout=10))
            self.assertIn("立即安装", s.button_texts())
            self.assertEqual(os.listdir(os.path.join(self.drive, "Apps")), [])
            s.key(wid, "Escape")
            self.assertEqual(p.wait(30), 0)
            self.assertEqual(os.listdir(os.path.join(self.drive, "Apps")), [])


class HeldFile(unittest.TestCase):
    def installed_session(self):
        """A session with the sample payload installed and the held file
        changed, so that a replacement shows."""
        s = WineSession()
        self.assertEqual(s.start_installer(["admin"], config=CONFIG).wait(120), 0)
        self.folder = s.unix(INSTALL_DIR)
        return s

    def mark(self):
        path = os.path.join(self.folder, *HELD.split("\\"))
        with open(path, "wb") as f:
            f.write(b"old")
        return path

    def temp_files(self):
        return glob.glob(os.path.join(self.folder, "**", "~kv*.tmp"), recursive=True)

    def test_unattended_run_waits_out_a_brief_hold_and_gives_up_on_one_for_good(self):
        with self.installed_session() as s:
            target = INSTALL_DIR + "\\" + HELD
            path = self.mark()
            s.hold(target, seconds=3)
            self.assertEqual(s.start_installer(["admin"], config=CONFIG).wait(60), 0)
            self.assertNotEqual(read(path), b"old", "the file held for 3 s was not replaced")

            self.mark()
            holder = s.hold(target)
            status, seconds = s.run_installer(["admin"], "held for good", config=CONFIG)
            self.assertEqual(status, 5)
            self.assertLess(seconds, 30)
            self.assertRegex(status.said, r'kvsetup: entry \d+ "datafile/strings\.txt" not written: ZRES_FILE_HELD, '
                                          r'system error (5|32); held by .* for 1\d\.\d s; the file stays as it was')
            self.assertIsNone(holder.poll(), "the holder was ended")
            self.assertEqual(read(path), b"old")
            self.assertEqual(self.temp_files(), [])
            # Nothing was changed: the earlier install stays, registered.
            self.assertIsNotNone(s.reg_query(UNINSTALL_KEY, "Publisher"))
            self.assertFalse(os.path.exists(os.path.join(self.folder, "~kvstage")))

    def test_unattended_run_waits_once_per_run_for_files_held_for_good(self):
        # One budget per run: 10 s for the first held file, 5 s for each
        # later one, 30 s at most for all of them.
        names = ["readme.txt", "datafile\\regions.dat", HELD]
        with self.installed_session() as s:
            holders = [s.hold(INSTALL_DIR + "\\" + name) for name in names]
            status, seconds = s.run_installer(["admin"], "three held for good", config=CONFIG)
            self.assertEqual(status, 5)
            self.assertLess(seconds, 30)
            waits = re.findall(r'entry \d+ "([^"]+)" not written: ZRES_FILE_HELD, system error \d+; held by .* for '
                               r'(\d+)\.\d s', status.said)
            self.assertEqual(sorted(name for name, _ in waits), sorted(n.replace("\\", "/") for n in names))
            self.assertEqual([int(w) for _, w in waits], [10, 5, 5])
            self.assertTrue(all(h.poll() is None for h in holders), "a holder was ended")
            self.assertEqual(self.temp_files(), [])

    def test_a_file_denied_though_nothing_holds_it_fails_at_once(self):
        # An immutable file: Linux refuses to replace it even for root, and
        # Wine says access denied, as Windows does for a file whose security
        # denies an administrator the change. Nothing holds it: no wait.
        with self.installed_session() as s:
            path = self.mark()
            subprocess.run(["chattr", "+i", path], check=True)
            try:
                status, seconds = s.run_installer(["admin"], "denied", config=CONFIG)
            finally:
                subprocess.run(["chattr", "-i", path], check=True)
            self.assertEqual(status, 2)
            self.assertLess(seconds, 9)
            self.assertRegex(status.said, r'entry \d+ "datafile/strings\.txt" not written: ZRES_CANNOT_OPEN, '
                                          r'system error 5\b')
            self.assertNotIn("ZRES_FILE_HELD", status.said)
            self.assertEqual(read(path), b"old")
            self.assertEqual(self.temp_files(), [])

    def test_wizard_asks_and_retry_replaces_the_file_once_it_is_free(self):
        with self.installed_session() as s:
            path = self.mark()
            holder = s.hold(INSTALL_DIR + "\\" + HELD)
            p = s.start_installer([], config=CONFIG)
            wid = s.wait_for_wizard()
            self.assertTrue(wid, "the wizard did not show")
            time.sleep(1)
            s.click(wid, *RUN_CHECKBOX)  # unticked: the install ends on the finish page
            s.click(wid, *INSTALL_BUTTON)
            box = s.wait_for(lambda: boxes(s, "提示"), timeout=40)
            self.assertTrue(box, "no question about the held file")
            text = box_text(s)
            print("the question: " + text)
            self.assertIn(INSTALL_DIR + "\\" + HELD, text)
            self.assertIn("重试", text)
            self.assertEqual(holder.release(), 0)
            s.key(box[0], "Return")  # 重试, the default
            finished = s.wait_for(lambda: "立即体验" in s.button_texts(), timeout=60, interval=0.5)
            self.assertTrue(finished, "the install did not end on the finish page as a success")
            self.assertNotEqual(read(path), b"old")
            self.assertEqual(self.temp_files(), [])
            s.key(wid, "Escape")
            self.assertEqual(p.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
