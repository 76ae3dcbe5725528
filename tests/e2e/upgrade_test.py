"""Version 1.4.4 over an installed 1.4.3: one whole version in the folder
after every kind of failure. kvsetup.exe carries the sample payload (1.4.3);
kvsetup_next.exe the next version, which changes readme.txt and
datafile/strings.txt, drops pic/logo.bmp and videoPicture/thumb/index.txt and
adds three files; kvsetup_next_big.exe the same with 100 MB more in ten files
and a switch that pauses before each rename, so that a kill can land inside
it. The holder is holdfile.exe, which opens a file with no sharing."""
import hashlib
import os
import re
import time
import unittest
import zipfile

import kvharness as h
from kvharness import INSTALL_BUTTON, INSTALL_DIR, RUN_CHECKBOX, UNINSTALL_KEY, WineSession

CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"  # reports fail at once
NEXT = os.path.join(h.BUILD, "kvsetup_next.exe")
NEXT_BIG = os.path.join(h.BUILD, "kvsetup_next_big.exe")
HELD = "datafile\\strings.txt"
RECORD = "kvsetup.files"
STAGING = "~kvstage"


def payload_files(name):
    """{entry name: sha256} of a payload's files."""
    with zipfile.ZipFile(os.path.join(h.BUILD, "payload", name)) as z:
        return {i.filename: hashlib.sha256(z.read(i)).hexdigest() for i in z.infolist() if not i.is_dir()}


def folder_files(folder):
    """{path below folder with '/': sha256} of every file, staging included."""
    files = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder).replace(os.sep, "/")] = hashlib.sha256(f.read()).hexdigest()
    return files


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def boxes(s, title):
    return s.xdotool("search", "--onlyvisible", "--name", "^%s$" % title)


class Upgrade(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (os.path.isfile(NEXT) and os.path.isfile(NEXT_BIG)):
            raise unittest.SkipTest("kvsetup_next.exe or kvsetup_next_big.exe not built")
        cls.old = payload_files("payload.zip")
        cls.new = payload_files("payload_next.zip")
        cls.big = payload_files("payload_next_big.zip")

    def installed(self, s):
        """1.4.3 installed, with files of the user's: one made, and one of
        1.4.3's that 1.4.4 drops, edited. The folder's Linux path."""
        self.assertEqual(s.start_installer(["admin"], config=CONFIG).wait(120), 0)
        folder = s.unix(INSTALL_DIR)
        write(os.path.join(folder, "datafile", "my notes.txt"), b"mine")
        write(os.path.join(folder, "videoPicture", "thumb", "index.txt"), b"edited by hand\r\n")
        self.users = {"datafile/my notes.txt": hashlib.sha256(b"mine").hexdigest(),
                      "videoPicture/thumb/index.txt": hashlib.sha256(b"edited by hand\r\n").hexdigest()}
        self.assertEqual(s.reg_query(UNINSTALL_KEY, "DisplayVersion"), ("REG_SZ", "1.4.3"))
        return folder

    def assert_version(self, folder, payload, what):
        """The folder is exactly payload, its record and the user's files."""
        files = folder_files(folder)
        self.assertIn(RECORD, files, what)
        del files[RECORD]
        expected = dict(payload, **self.users)
        self.assertEqual(sorted(files), sorted(expected), what)
        self.assertEqual(files, expected, what)

    def test_a_file_held_for_good_keeps_the_installed_version_whole(self):
        with WineSession() as s:
            folder = self.installed(s)
            before = folder_files(folder)
            holder = s.hold(INSTALL_DIR + "\\" + HELD)
            status, seconds = s.run_installer(["admin"], "held for good", config=CONFIG, exe=NEXT)
            self.assertEqual(status, 5)
            self.assertLess(seconds, 30)
            self.assertRegex(status.said, r'kvsetup: entry \d+ "datafile/strings\.txt" not written: ZRES_FILE_HELD, '
                                          r'system error (5|32); held by .* for 1\d\.\d s')
            self.assertIn("nothing in the install folder was changed", status.said)
            self.assertEqual(folder_files(folder), before, "the folder is not 1.4.3 as it was")
            self.assertEqual(s.reg_query(UNINSTALL_KEY, "DisplayVersion"), ("REG_SZ", "1.4.3"))
            self.assertFalse(os.path.exists(os.path.join(folder, STAGING)))

            # The same after 取消 at the wizard's question.
            p = s.start_installer([], config=CONFIG, exe=NEXT)
            wid = s.wait_for_wizard()
            self.assertTrue(wid, "the wizard did not show")
            time.sleep(1)
            s.click(wid, *RUN_CHECKBOX)
            s.click(wid, *INSTALL_BUTTON)
            box = s.wait_for(lambda: boxes(s, "提示"), timeout=40)
            self.assertTrue(box, "no question about the held file")
            s.key(box[0], "Escape")  # 取消
            failed = s.wait_for(lambda: "安装失败!" in s.static_texts(wid), timeout=30, interval=0.5)
            self.assertTrue(failed, "the wizard did not end on the failure page")
            self.assertEqual(folder_files(folder), before, "the folder is not 1.4.3 as it was after 取消")
            self.assertEqual(s.reg_query(UNINSTALL_KEY, "DisplayVersion"), ("REG_SZ", "1.4.3"))
            self.assertFalse(os.path.exists(os.path.join(folder, STAGING)))
            s.key(wid, "Escape")
            self.assertEqual(p.wait(30), 5)
            self.assertIsNone(holder.poll(), "the holder was ended")

    def test_nothing_held_gives_exactly_the_new_version_and_leaves_unchanged_files_alone(self):
        with WineSession() as s:
            folder = self.installed(s)
            unchanged = [name for name in self.old if self.new.get(name) == self.old[name]]
            self.assertGreater(len(unchanged), 5)
            stats = {name: os.stat(os.path.join(folder, name)) for name in unchanged}
            status = s.start_installer(["admin"], config=CONFIG, exe=NEXT).wait(120)
            self.assertEqual(status, 0, status.said)
            self.assert_version(folder, self.new, "after the upgrade")
            self.assertFalse(os.path.exists(os.path.join(folder, "pic", "logo.bmp")), "a dropped file stays")
            for name, before in stats.items():
                after = os.stat(os.path.join(folder, name))
                self.assertEqual((after.st_ino, after.st_mtime_ns), (before.st_ino, before.st_mtime_ns), name)
            self.assertEqual(s.reg_query(UNINSTALL_KEY, "DisplayVersion"), ("REG_SZ", "1.4.4"))
            with open(os.path.join(folder, RECORD), "rb") as f:
                record = f.read().decode("ascii")
            self.assertTrue(record.startswith("kvsetup install record 1\r\n"))
            self.assertEqual(sorted(re.findall(r"^[0-9A-F]{8}\t\d+\t(.*)\r$", record, re.M)), sorted(self.new))

            # Run again: everything is kept, nothing written.
            status = s.start_installer(["admin"], config=CONFIG, exe=NEXT).wait(120)
            self.assertEqual(status, 0, status.said)
            self.assert_version(folder, self.new, "after the same version again")
            for name, before in stats.items():
                self.assertEqual(os.stat(os.path.join(folder, name)).st_ino, before.st_ino, name)

    def test_a_kill_at_any_of_three_moments_leaves_one_whole_version(self):
        def staged(folder):
            try:
                return os.listdir(os.path.join(folder, STAGING))
            except OSError:
                return []

        moments = [
            ("while staging", lambda names: sum(n.endswith(".new") for n in names) >= 3),
            ("as the switch begins", lambda names: "journal.txt" in names and any(n.endswith(".old") for n in names)),
            ("late in the switch", lambda names: "journal.txt" in names and sum(n.endswith(".new") for n in names) <= 4),
        ]
        for what, now in moments:
            with self.subTest(killed=what), WineSession() as s:
                folder = self.installed(s)
                old = {k: v for k, v in folder_files(folder).items() if k not in self.users}
                p = s.start_installer(["admin"], config=CONFIG, exe=NEXT_BIG)
                self.assertTrue(s.wait_for(lambda: now(staged(folder)) or p.poll() is not None, timeout=120,
                                           interval=0.02), what)
                self.assertIsNone(p.poll(), "the upgrade ended before the kill %s" % what)
                s.kill()
                # The next start mends the folder before anything else.
                p = s.start_installer([], config=CONFIG, exe=h.KVSETUP)
                wid = s.wait_for_wizard()
                self.assertTrue(wid, "the wizard did not show")
                files = {k: v for k, v in folder_files(folder).items() if k not in self.users}
                record = files.pop(RECORD, None)
                if files != {k: v for k, v in old.items() if k != RECORD}:
                    self.assertEqual(files, {k: v for k, v in self.big.items() if k not in self.users},
                                     "neither version whole after a kill %s" % what)
                    self.assertIsNotNone(record)
                else:
                    self.assertEqual(record, old[RECORD])
                print("killed %s: the next start left %s" % (what, "1.4.3" if files != self.big else "1.4.4"))
                s.key(wid, "Escape")
                self.assertEqual(p.wait(30), 0)
                # The last run leaves exactly 1.4.4, nothing from staging.
                status = s.start_installer(["admin"], config=CONFIG, exe=NEXT_BIG).wait(180)
                self.assertEqual(status, 0, status.said)
                self.assert_version(folder, self.big, "the run after a kill %s" % what)
                self.assertEqual(s.reg_query(UNINSTALL_KEY, "DisplayVersion"), ("REG_SZ", "1.4.4"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
