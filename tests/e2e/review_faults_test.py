"""Ways out and ways in that must say what happened: a fault the program
cannot go on from ends it with 2 and one line, never behind a box; the /LOG
file is appended to only under its own single name, and its last line is the
status; a launcher that leaves the program's path unquoted still gets the run
its arguments ask for."""
import os
import time
import unittest

import kvharness as h

CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"
LOG = "C:\\kvlogs\\setup.log"
KVSETUP_NOMEMORY = os.path.join(h.BUILD, "kvsetup_nomemory.exe")  # an allocation fails once the log is open
STARTAS = os.path.join(h.BUILD, "startas.exe")  # starts a program with its command line exactly as given


def read_log(s, path=LOG):
    with open(s.unix(path), "rb") as f:
        return f.read().decode("utf-8").splitlines()


class FaultsAndLog(unittest.TestCase):
    def test_failed_allocation_ends_with_2_and_a_line_and_shows_no_window(self):
        # The wizard's run: the C runtime's abort() would show its box here
        # and wait on it, then end with 3.
        with h.WineSession() as s:
            p = s.start_installer(["/LOG=" + LOG], config=CONFIG, exe=KVSETUP_NOMEMORY)
            seen = set()
            end = time.time() + 60
            while p.poll() is None and time.time() < end:
                seen.update(s.visible_windows())
                time.sleep(0.1)
            status = p.wait(5)
            self.assertEqual(status, 2)
            self.assertEqual(seen, set())
            said = [line for line in status.said.splitlines() if line.startswith("kvsetup:")]
            self.assertEqual(len(said), 1, status.said)
            self.assertRegex(said[0], r"^kvsetup: out of memory \(\d+ bytes asked for\); the program ends$")
            log = read_log(s)
            self.assertTrue(log[-2].endswith(" " + said[0]), log)
            self.assertTrue(log[-1].endswith(" exit status 2"), log)
            self.assertFalse(os.path.exists(s.unix(h.INSTALL_DIR)))

    def test_hard_linked_log_file_is_not_appended_to(self):
        # The log's name is a second name of somebody else's file. (A
        # symbolic link to a file does not show as one under Wine.)
        with h.WineSession() as s:
            theirs = s.unix("C:\\users\\Public\\theirs.txt")
            os.makedirs(os.path.dirname(theirs), exist_ok=True)
            os.makedirs(os.path.dirname(s.unix(LOG)), exist_ok=True)
            with open(theirs, "wb") as f:
                f.write(b"theirs\r\n")
            os.link(theirs, s.unix(LOG))
            status = s.start_installer(["admin", "/LOG=" + LOG], config=CONFIG).wait(120)
            self.assertEqual(status, 2)
            self.assertIn('the log file "%s" given by /LOG cannot be written (system error 1920)' % LOG, status.said)
            with open(theirs, "rb") as f:
                self.assertEqual(f.read(), b"theirs\r\n")
            self.assertFalse(os.path.exists(s.unix(h.INSTALL_DIR)))

    def test_unquoted_program_path_with_admin_in_it_shows_the_wizard(self):
        # As a launcher starts it: C:\Program Files\admin\kvsetup.exe with no
        # quotes, which Windows still finds. "admin" in the path selects
        # nothing; /LOG after it is the run's own option.
        with h.WineSession() as s:
            folder = "C:\\Program Files\\admin"
            s.prepare_folder(folder, CONFIG)
            program = folder + "\\kvsetup.exe"
            p = s.start(STARTAS, [program, program + " /LOG=" + LOG], cwd=s.unix(folder))
            self.assertIsNotNone(s.wait_for_wizard(60), "no wizard: %r" % (p.poll(),))
            self.assertIn("立即安装", s.button_texts())
            log = read_log(s)
            self.assertTrue(log[0].endswith(" started: " + program + " /LOG=" + LOG), log[0])
            self.assertEqual(log[1][24:], "wizard")
            self.assertFalse(os.path.exists(s.unix(h.INSTALL_DIR)))


if __name__ == "__main__":
    unittest.main()
