"""The options administrators deploy with: /DIR, /LOG, /NODESKTOP and /?,
and the word admin inside an option's value, which selects nothing."""
import os
import time
import unittest

import kvharness as h
from registration_test import CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CONFIG, link_info
from startup_test import drive_files

APPS = "C:\\Apps\\Kelvane"
LOG = "C:\\kvlogs\\setup.log"


def read_log(s, path=LOG):
    with open(s.unix(path), "rb") as f:
        return f.read().decode("utf-8").splitlines()


def message_box_text(s):
    return " ".join(c["text"] for c in s.controls() if c["cls"].lower() == "static" and c["depth"] == 1).strip()


class Options(unittest.TestCase):
    def test_dir_log_and_nodesktop_unattended(self):
        with h.WineSession() as s:
            status = s.start_installer(["admin", "/DIR=" + APPS, "/LOG=" + LOG, "/NODESKTOP", "/S"], config=CONFIG).wait(120)
            self.assertEqual(status, 0)
            self.assertIn("kvsetup: unknown option /S, passed over", status.said)
            folder = s.unix(APPS)
            self.assertTrue(os.path.isfile(os.path.join(folder, "kvClient.exe")))
            self.assertFalse(os.path.exists(s.unix(h.INSTALL_DIR)))
            self.assertEqual(s.reg_query(h.UNINSTALL_KEY, "InstallLocation"), ("REG_SZ", APPS))
            self.assertIsNotNone(link_info(s, CSIDL_PROGRAMS, "Kelvane\\Kelvane.lnk"))
            self.assertIsNotNone(link_info(s, CSIDL_PROGRAMS, "Kelvane\\卸载.lnk"))
            self.assertIsNone(link_info(s, CSIDL_DESKTOPDIRECTORY, "Kelvane.lnk"))

            log = read_log(s)
            print("\n".join(log))
            text = "\n".join(log)
            self.assertRegex(log[0], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} kvsetup \S+ started: .*kvsetup\.exe.* admin "
                                     r"/DIR=C:\\Apps\\Kelvane /LOG=C:\\kvlogs\\setup\.log /NODESKTOP /S$")
            written = [os.path.relpath(os.path.join(root, f), folder).replace(os.sep, "/")
                       for root, _, files in os.walk(folder) for f in files
                       if not f.endswith(".started.txt") and f != "kvsetup.files"]  # the record is no entry
            for name in written:
                self.assertRegex(text, r"entry \d+ %s: written, %d bytes" % (name.replace(".", "\\."),
                                                                            os.path.getsize(os.path.join(folder, name))))
            for line in ("install folder " + APPS, "Uninstall value InstallLocation = " + APPS,
                         "shortcut Programs\\Kelvane\\Kelvane.lnk: saved", "kvsetup: unknown option /S, passed over"):
                self.assertIn(line, text)
            self.assertRegex(text, r"disk C:\\: \d+ bytes needed, \d+ free")
            self.assertRegex(text, r"setup report \(HTTP\): not sent to 127\.0\.0\.1:1: error \d+, then \d+")
            self.assertNotIn("Desktop\\Kelvane.lnk", text)
            self.assertTrue(log[-1].endswith(" exit status 0"), log[-1])

            # A second run appends: the first run's lines stay.
            self.assertEqual(s.start_installer(["admin", "/dir=" + APPS, "/log=" + LOG], config=CONFIG).wait(120), 0)
            again = read_log(s)
            self.assertEqual(again[:len(log)], log)
            self.assertTrue(again[-1].endswith(" exit status 0"))
            self.assertIn("shortcut Desktop\\Kelvane.lnk: saved", "\n".join(again[len(log):]))

    def test_a_folder_or_log_that_cannot_be_used_stops_the_run_before_anything_is_written(self):
        cases = [
            (["admin", "/DIR=Apps\\Relative"],
             'the install folder "Apps\\Relative" given by /DIR cannot be used (安装位置必须是完整路径'),
            (["admin", "/DIR="], 'the install folder "" given by /DIR cannot be used (请选择安装位置)'),
            (["admin", "/LOG=C:\\nul\\x\\setup.log"], 'the log file "C:\\nul\\x\\setup.log" given by /LOG cannot be written'),
        ]
        with h.WineSession() as s:
            folder = s.prepare_folder(h.DOWNLOADS, CONFIG)
            before = drive_files(s)
            for args, line in cases:
                with self.subTest(" ".join(args)):
                    status = s.start(os.path.join(folder, "kvsetup.exe"), args, folder).wait(60)
                    self.assertEqual(status, 2)
                    self.assertIn("kvsetup: " + line, status.said)
                    self.assertEqual(drive_files(s), before, "written on the drive")
                    self.assertIsNone(s.reg_query(h.UNINSTALL_KEY, "Publisher"))

    def test_admin_inside_a_folder_shows_the_wizard_which_installs_there(self):
        folder = "C:\\admin\\Kelvane"
        with h.WineSession() as s:
            p = s.start_installer(["/DIR=" + folder, "/NODESKTOP"], config=CONFIG)
            wid = s.wait_for_wizard()
            self.assertTrue(wid, "the wizard did not show")
            time.sleep(1)
            self.assertIn(folder, [c["text"] for c in s.controls() if c["cls"].lower() == "edit"])
            s.click(wid, *h.RUN_CHECKBOX)
            s.key(wid, "Return")
            self.assertTrue(s.wait_for(lambda: "立即体验" in s.button_texts(), timeout=60, interval=0.5),
                            "the install did not end on the finish page")
            s.key(wid, "Escape")
            self.assertEqual(p.wait(30), 0)
            self.assertTrue(os.path.isfile(os.path.join(s.unix(folder), "kvClient.exe")))
            self.assertIsNone(link_info(s, CSIDL_DESKTOPDIRECTORY, "Kelvane.lnk"))

    def test_help_lists_the_options_and_installs_nothing(self):
        with h.WineSession() as s:
            folder = s.prepare_folder(h.DOWNLOADS, CONFIG)
            before = drive_files(s)
            p = s.start(os.path.join(folder, "kvsetup.exe"), ["/?"], folder)
            box = s.wait_for(lambda: s.xdotool("search", "--onlyvisible", "--name", "^kvsetup$"), timeout=30)
            self.assertTrue(box, "no list of the options")
            text = message_box_text(s)
            for word in ("/DIR=", "/LOG=", "/NODESKTOP", "admin", "退出代码"):
                self.assertIn(word, text)
            s.key(box[0], "Return")
            status = p.wait(30)
            self.assertEqual(status, 0)
            for word in ("usage: kvsetup.exe", "/DIR=folder", "/LOG=file", "/NODESKTOP", "exit status:", "5  files held"):
                self.assertIn(word, status.said)
            # Unattended, the list goes to standard error alone: nobody is there to close a box.
            status = s.start(os.path.join(folder, "kvsetup.exe"), ["admin", "/HELP"], folder).wait(30)
            self.assertEqual(status, 0)
            self.assertIn("usage: kvsetup.exe", status.said)
            self.assertEqual(drive_files(s), before, "written on the drive")

    def test_the_log_of_a_run_that_left_a_held_file(self):
        with h.WineSession() as s:
            self.assertEqual(s.start_installer(["admin"], config=CONFIG).wait(120), 0)
            s.hold(h.INSTALL_DIR + "\\datafile\\strings.txt")
            status = s.start_installer(["admin", "/LOG=" + LOG], config=CONFIG).wait(60)
            self.assertEqual(status, 5)
            text = "\n".join(read_log(s))
            print(text)
            self.assertRegex(text, r"entry \d+ datafile/strings\.txt: not written, ZRES_FILE_HELD, system error (5|32), "
                                   r"held by another program for 1\d\.\d s")
            # The install was given up whole: nothing is said written.
            self.assertNotIn(": written,", text)
            self.assertIn("nothing in the install folder was changed", text)
            self.assertTrue(text.endswith(" exit status 5"))


if __name__ == "__main__":
    unittest.main()
