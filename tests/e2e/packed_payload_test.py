"""A payload packed from a folder by kvzip pack (LZMA entries, some stored),
end to end: kvzip.exe tests and checks it, and an unattended install writes
the folder's files byte for byte, with their folders and times."""
import os
import unittest
import zipfile

from kvharness import BUILD, INSTALL_DIR, KVZIP, WineSession

CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"  # reports fail at once, changing nothing
KVSETUP_PACKED = os.path.join(BUILD, "kvsetup_packed.exe")
FOLDER = os.path.join(BUILD, "payload", "packed_folder")
ARCHIVE = os.path.join(BUILD, "payload", "payload_packed.zip")


class PackedPayload(unittest.TestCase):
    def test_packed_folder_installs_byte_for_byte(self):
        with open(ARCHIVE, "rb") as f:
            archive = f.read()
        self.assertIn(b"PK\x03\x04?\x00\x00\x00\x0e\x00", archive)  # LZMA entries, version needed 6.3
        with WineSession() as s:
            work = s.unix(r"C:\work")
            os.makedirs(work)
            with open(os.path.join(work, "packed.zip"), "wb") as f:
                f.write(archive)
            rc, out, _ = s.run(KVZIP, ["check", r"C:\work\packed.zip"])
            self.assertEqual((rc, out), (0, b""))
            rc, out, _ = s.run(KVZIP, ["test", r"C:\work\packed.zip"])
            self.assertEqual(rc, 0)
            self.assertNotIn(b"ZRES_", out)

            p = s.start_installer(["admin"], config=CONFIG, exe=KVSETUP_PACKED)
            self.assertEqual(p.wait(180), 0)
            installed = s.unix(INSTALL_DIR)
            count = 0
            for dirpath, dirnames, filenames in os.walk(FOLDER):
                relative = os.path.relpath(dirpath, FOLDER)
                for name in dirnames:
                    self.assertTrue(os.path.isdir(os.path.join(installed, relative, name)), name)
                for name in filenames:
                    source = os.path.join(dirpath, name)
                    target = os.path.join(installed, relative, name)
                    with open(source, "rb") as a, open(target, "rb") as b:
                        self.assertTrue(a.read() == b.read(), target)
                    self.assertEqual(int(os.stat(target).st_mtime), int(os.stat(source).st_mtime), target)
                    count += 1
            with zipfile.ZipFile(ARCHIVE) as z:
                self.assertEqual(count, len([i for i in z.infolist() if not i.is_dir()]))


if __name__ == "__main__":
    unittest.main()
