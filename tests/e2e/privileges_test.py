"""Least privilege, end to end. The installer runs elevated, and under Wine
every program does, so the tests see what an elevated run does on Windows.

The updater it starts at the end is started by the desktop's shell, whose
process, explorer.exe, becomes its parent (startup_test checks that for the
auto-start and the finish page), and by the installer itself where the shell
cannot be reached.

Nothing it writes goes through a link inside the folder it installs into. A
Unix symbolic link to a folder shows under Wine as a reparse point
(attributes 0x410), as a junction or a symbolic link does on Windows; the
links here lead out of the prefix.
"""
import os
import re
import shutil
import unittest
import zipfile

from kvharness import BUILD, INSTALL_BUTTON, INSTALL_DIR, KVSETUP_PAUSE, KVZIP, WineSession

# Reports go to closed loopback ports: they fail at once and change nothing.
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"
PAYLOAD = os.path.join(BUILD, "payload", "payload.zip")


def payload_files():
    """{name: data} of the sample payload's file entries."""
    with zipfile.ZipFile(PAYLOAD) as z:
        return {i.filename: z.read(i) for i in z.infolist() if not i.is_dir()}


class UpdaterStart(unittest.TestCase):
    def test_without_the_desktop_shell_the_installer_starts_the_updater_itself(self):
        # Without actxprxy.dll the installer cannot talk to the shell's list
        # of windows: the chain's first step fails, as on a desktop whose
        # shell is not Explorer or not running.
        with WineSession() as s:
            p = s.start_installer([], config=CONFIG, env={"WINEDLLOVERRIDES": s.env["WINEDLLOVERRIDES"] + ";actxprxy="})
            wid = s.wait_for_wizard()
            self.assertTrue(wid, "the wizard did not show")
            s.click(wid, *INSTALL_BUTTON)
            self.assertEqual(p.wait(60), 0)
            starts = s.wait_for(s.updater_starts, timeout=20)
            self.assertTrue(starts, "kvUpdate.exe was not started")
            self.assertEqual(starts[0].folder, INSTALL_DIR)
            # Its parent is the installer, which may have ended before the
            # updater looked ("?"); in no case the shell.
            self.assertIn(starts[0].parent, (s.installer_name, "?"))


class LinksInTheInstallFolder(unittest.TestCase):
    def test_unattended_install_writes_nothing_through_a_linked_folder(self):
        with WineSession() as s:
            folder = s.unix(INSTALL_DIR)
            outside = os.path.join(s.tmp, "outside")
            os.makedirs(folder)
            os.makedirs(outside)
            os.symlink(outside, os.path.join(folder, "datafile"))
            p = s.start_installer(["admin"], config=CONFIG)
            status = p.wait(120)
            self.assertEqual(status, 2)
            self.assertEqual(os.listdir(outside), [])
            self.assertTrue(os.path.islink(os.path.join(folder, "datafile")))
            self.assertIn('folder "datafile" in the install folder is a link', status.said)
            for name in ("datafile/", "datafile/regions.dat", "datafile/strings.txt"):
                self.assertRegex(status.said, r'entry \d+ "%s" not written: ZRES_LINK_IN_PATH' % re.escape(name))
            for name, data in payload_files().items():
                if not name.startswith("datafile/"):
                    with open(os.path.join(folder, name), "rb") as f:
                        self.assertEqual(f.read(), data, name)

    def test_a_folder_made_a_link_after_its_check_takes_nothing(self):
        # The installer stops once it holds the new datafile, as a program
        # watching for it would act; the folder is then put out of the way
        # and a link to a folder outside takes its name.
        with WineSession() as s:
            folder = s.unix(INSTALL_DIR)
            outside = os.path.join(s.tmp, "outside")
            os.makedirs(outside)
            pause = s.unix(r"C:\pause")
            os.makedirs(pause)
            p = s.start_installer(["admin"], config=CONFIG, exe=KVSETUP_PAUSE, env={"KV_TEST_PAUSE": r"C:\pause"})
            held = os.path.join(pause, "held")
            self.assertTrue(s.wait_for(lambda: os.path.exists(held), timeout=60), "the installer did not stop")
            datafile = os.path.join(folder, "datafile")
            self.assertEqual(os.listdir(datafile), [])
            os.rmdir(datafile)
            os.symlink(outside, datafile)
            os.remove(held)
            status = p.wait(120)
            self.assertEqual(status, 2)
            self.assertEqual(os.listdir(outside), [])
            self.assertIn('folder "datafile" in the install folder is a link', status.said)
            self.assertRegex(status.said, r'entry \d+ "datafile/strings\.txt" not written: ZRES_LINK_IN_PATH')

    def test_links_below_the_folder_are_refused_and_the_folder_itself_may_be_one(self):
        # kvzip extract unpacks with the installer's own loop.
        files = payload_files()
        with WineSession() as s:
            os.makedirs(s.unix(r"C:\work"))
            shutil.copy(PAYLOAD, s.unix(r"C:\work\payload.zip"))
            out = s.unix(r"C:\out")
            os.makedirs(os.path.join(out, "videoPicture"))
            # A link one folder down, holding the temporary file of an
            # install that was ended: it stays, as nothing is done through it.
            small = os.path.join(s.tmp, "small")
            os.makedirs(small)
            with open(os.path.join(small, "~kv1A2B.tmp"), "wb") as f:
                f.write(b"left")
            os.symlink(small, os.path.join(out, "videoPicture", "small"))
            # A link to a folder that is not there: it must not be made.
            nowhere = os.path.join(s.tmp, "nowhere")
            os.symlink(nowhere, os.path.join(out, "pic"))
            # A file that is a link: the link goes, a file takes its place.
            theirs = os.path.join(s.tmp, "readme.txt")
            with open(theirs, "wb") as f:
                f.write(b"theirs")
            os.symlink(theirs, os.path.join(out, "readme.txt"))

            rc, stdout, _ = s.run(KVZIP, ["extract", r"C:\work\payload.zip", r"C:\out"])
            self.assertEqual(rc, 1)
            failed = {line.split("\t")[2]: line.split("\t")[1] for line in stdout.decode().splitlines()}
            self.assertEqual(failed.pop("videoPicture/small/"), "ZRES_LINK_IN_PATH")
            self.assertEqual(failed.pop("videoPicture/small/frame01.dat"), "ZRES_LINK_IN_PATH")
            # Wine cannot open a link to nothing; Windows would say ZRES_LINK_IN_PATH.
            self.assertEqual(sorted(failed), ["pic/", "pic/logo.bmp"])
            self.assertEqual(os.listdir(small), ["~kv1A2B.tmp"])
            self.assertFalse(os.path.lexists(nowhere))
            with open(theirs, "rb") as f:
                self.assertEqual(f.read(), b"theirs")
            self.assertFalse(os.path.islink(os.path.join(out, "readme.txt")))
            for name, data in files.items():
                if not name.startswith(("videoPicture/small/", "pic/")):
                    with open(os.path.join(out, name), "rb") as f:
                        self.assertEqual(f.read(), data, name)

            # The folder unpacked into is the user's own arrangement: it, and
            # a folder above it, may be links, and are followed.
            games = os.path.join(s.tmp, "games")
            os.makedirs(os.path.join(games, "data"))
            os.symlink(os.path.join(games, "data"), os.path.join(games, "Kelvane"))
            os.symlink(games, s.unix(r"C:\games"))
            rc, stdout, _ = s.run(KVZIP, ["extract", r"C:\work\payload.zip", r"C:\games\Kelvane"])
            self.assertEqual((rc, stdout), (0, b""))
            for name, data in files.items():
                with open(os.path.join(games, "data", name), "rb") as f:
                    self.assertEqual(f.read(), data, name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
