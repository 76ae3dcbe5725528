"""One install at a time: a second kvsetup.exe started while one runs installs
nothing. Unattended it ends at once with status 3; with the wizard it brings
the running installer's window to the front and ends with 0. The first one
goes on undisturbed."""
import os
import time
import unittest

import kvharness as h
from listeners import SlowHttpListener


class SecondInstaller(unittest.TestCase):
    def test_a_second_installer_does_not_install(self):
        cases = [  # (first run's arguments, second run's arguments, second's status)
            (["admin"], ["admin"], 3),
            (["admin"], [], 0),
            ([], ["admin"], 3),
            ([], [], 0),
        ]
        for first_args, second_args, status in cases:
            with self.subTest(first=first_args, second=second_args), h.WineSession() as s, \
                    SlowHttpListener("silent") as http:
                # The silent update host holds an unattended first install in
                # its reports for 2 x 21 s, long after its files are written.
                config = "[update]\r\nupdatehost=127.0.0.1:%d\r\n" % http.port
                first = s.start_installer(first_args, config=config)
                if first_args:
                    self.assertTrue(s.wait_for(lambda: http.connections >= 1, timeout=60), "no report")
                else:
                    self.assertTrue(s.wait_for_wizard(), "the wizard did not show")
                    os.makedirs(s.unix(r"C:\other"), exist_ok=True)
                before = set(os.listdir(s.unix(h.PROGRAM_FILES)))

                start = time.time()
                second = s.start_installer(second_args, folder=r"C:\other", config=config)
                ended = second.wait(30)
                self.assertEqual(ended, status)
                if status == 3:
                    self.assertIn("kvsetup: another installer is running", ended.said)
                self.assertLess(time.time() - start, 15, "the second installer waited")
                self.assertIsNone(first.poll(), "the first installer ended")
                self.assertEqual(set(os.listdir(s.unix(h.PROGRAM_FILES))), before)
                if not first_args:
                    self.assertEqual(len(s.visible_windows("kvsetup.exe")), 1)
                    self.assertFalse(os.path.exists(s.unix(h.INSTALL_DIR)), "the wizard's run installed")
                elif second_args:  # once is enough: the first completes (the reports hold it 2 x 21 s)
                    self.assertEqual(first.wait(120), 0)
                    self.assertTrue(os.path.isfile(os.path.join(s.unix(h.INSTALL_DIR), "kvClient.exe")))


if __name__ == "__main__":
    unittest.main()
