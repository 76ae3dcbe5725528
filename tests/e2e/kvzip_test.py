"""kvzip.exe on archives made by other tools (Info-ZIP zip, 7-Zip, Python's
zipfile) and on damaged or unsafe ones: the exact lines and exit statuses
that scripts and the build rely on."""
import os
import random
import struct
import subprocess
import tempfile
import unittest
import zipfile

from kvharness import BUILD, KVZIP, WineSession, gbk

BAD_PAYLOAD = os.path.join(BUILD, "payload", "payload_badcrc.zip")
REQUIRED = ["config.ini", "version.data", "kvClient.exe", "kvUpdate.exe", "kv_Uninstall.exe"]
EPOCH_DIFF = 11644473600


def make_tree(root):
    """The five required files, a 40,000-byte file in a folder, an empty folder."""
    for name in REQUIRED:
        with open(os.path.join(root, name), "wb") as f:
            f.write(b"[log]\r\nip=127.0.0.1\r\n" if name == "config.ini" else name.encode() * 20)
    os.makedirs(os.path.join(root, "datafile", "deep"))
    os.makedirs(os.path.join(root, "empty"))
    rnd = random.Random(7)
    with open(os.path.join(root, "datafile", "deep", "big.bin"), "wb") as f:
        f.write(bytes(rnd.randrange(16) for _ in range(40000)))
    for dirpath, dirnames, filenames in os.walk(root):
        for n in dirnames + filenames:
            os.utime(os.path.join(dirpath, n), (1600000000, 1600000000))


class KvzipTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = WineSession()
        cls.work = cls.session.unix(r"C:\work")
        cls.tree = tempfile.mkdtemp(prefix="kvzip-tree-")
        os.makedirs(cls.work)
        make_tree(cls.tree)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()
        subprocess.run(["rm", "-rf", cls.tree])

    def kvzip(self, *args):
        rc, out, err = self.session.run(KVZIP, list(args))
        return rc, out.split(b"\n")[:-1] if out else [], err

    def archive(self, name, data=None):
        """Windows path of C:\\work\\name (written when data is given)."""
        if data is not None:
            with open(os.path.join(self.work, name), "wb") as f:
                f.write(data)
        return "C:\\work\\" + name

    def tool_zip(self, name, *command):
        path = os.path.join(self.work, name)
        subprocess.run([c.replace("OUT", path) for c in command], cwd=self.tree, check=True,
                       stdout=subprocess.DEVNULL)
        return "C:\\work\\" + name

    def python_zip(self, name, entries, comment=b""):
        path = os.path.join(self.work, name)
        with zipfile.ZipFile(path, "w") as z:
            for arcname, data, method in entries:
                info = zipfile.ZipInfo(arcname, (2020, 9, 13, 12, 26, 40))
                info.external_attr = (0o40755 << 16 | 0x10) if arcname.endswith("/") else 0o100644 << 16
                z.writestr(info, data, compress_type=method)
            z.comment = comment
        return "C:\\work\\" + name

    def assert_all_commands_pass(self, win_path, times_from_ut=False):
        path = self.session.unix(win_path)
        with zipfile.ZipFile(path) as z:
            infos = z.infolist()
            rc, lines, _ = self.kvzip("list", win_path)
            self.assertEqual(rc, 0)
            self.assertEqual(len(lines), len(infos))
            for i, (info, line) in enumerate(zip(infos, lines)):
                index, attributes, packed, size, filetime, name = line.split(b"\t")
                self.assertEqual((int(index), name.decode()), (i, info.filename.rstrip("/") + ("/" if info.is_dir() else "")))
                self.assertEqual((int(packed), int(size)), (info.compress_size, info.file_size))
                self.assertEqual(int(attributes, 16) & 0x10, 0x10 if info.is_dir() else 0, info.filename)
                if times_from_ut and not info.is_dir():
                    self.assertEqual(int(filetime), (1600000000 + EPOCH_DIFF) * 10**7, info.filename)

            rc, lines, _ = self.kvzip("test", win_path)
            self.assertEqual(rc, 0)
            self.assertEqual(lines, [b"%d\tOK\t%s" % (i, info.filename.encode()) for i, info in enumerate(infos)])

            out = "C:\\out\\" + os.path.basename(path)
            rc, lines, _ = self.kvzip("extract", win_path, out)
            self.assertEqual((rc, lines), (0, []))
            for info in infos:
                target = os.path.join(self.session.unix(out), info.filename)
                if info.is_dir():
                    self.assertTrue(os.path.isdir(target), info.filename)
                else:
                    with open(target, "rb") as f:
                        self.assertEqual(f.read(), z.read(info), info.filename)

            self.assertEqual(self.kvzip("check", win_path)[:2], (0, []))

    def test_archives_of_other_tools(self):
        # Info-ZIP with UT/ux extra fields and Unix host, then without them.
        self.assert_all_commands_pass(self.tool_zip("infozip.zip", "zip", "-r", "-q", "OUT", "."), times_from_ut=True)
        self.assert_all_commands_pass(self.tool_zip("infozip_x.zip", "zip", "-r", "-q", "-X", "OUT", "."))
        self.assert_all_commands_pass(self.tool_zip("7z.zip", "7z", "a", "-tzip", "OUT", "."))
        entries = [(n, open(os.path.join(self.tree, n), "rb").read(), zipfile.ZIP_DEFLATED) for n in REQUIRED]
        entries += [("stored/", b"", zipfile.ZIP_STORED), ("stored/s.txt", b"stored text", zipfile.ZIP_STORED)]
        self.assert_all_commands_pass(self.python_zip("python.zip", entries, comment=b"made by zipfile" * 100))

    def test_damaged_archives(self):
        with open(BAD_PAYLOAD, "rb") as f:
            bad = f.read()
        crc = self.archive("badcrc.zip", bad)
        rc, lines, _ = self.kvzip("test", crc)
        self.assertEqual(rc, 1)
        self.assertIn(b"5\tZRES_BAD_DATA\treadme.txt", lines)
        self.assertEqual(len([l for l in lines if b"\tOK\t" not in l]), 1)
        self.assertEqual(self.kvzip("extract", crc, r"C:\out\badcrc")[:2], (1, [b"5\tZRES_BAD_DATA\treadme.txt"]))
        self.assertEqual(self.kvzip("check", crc)[:2], (1, [b"5\tZRES_BAD_DATA\treadme.txt"]))

        truncated = self.archive("truncated.zip", bad[:len(bad) // 2])
        rc, lines, err = self.kvzip("list", truncated)
        self.assertEqual((rc, lines), (1, []))
        self.assertIn(b"cannot", err)
        self.assertEqual(self.kvzip("check", truncated)[:2],
                         (1, [b"archive\tno end record\t", b"archive\tcannot be opened\t"]))

    def test_end_record_that_undercounts_its_directory(self):
        path = self.python_zip("undercount.zip", [(n, b"x", zipfile.ZIP_DEFLATED) for n in REQUIRED + ["extra.txt"]])
        with open(self.session.unix(path), "rb") as f:
            data = bytearray(f.read())
        end = data.rfind(b"PK\x05\x06")
        data[end + 8:end + 12] = struct.pack("<HH", 5, 5)
        self.assertEqual(self.kvzip("check", self.archive("undercount.zip", bytes(data)))[:2],
                         (1, [b"archive\tentry count disagrees with the directory\tend record 5, directory 6"]))

    def test_unsafe_names_and_missing_files(self):
        base = [(n, b"x", zipfile.ZIP_DEFLATED) for n in REQUIRED]
        cases = [
            ("../evil.txt", b'5\t".." component\t../evil.txt'),
            ("a/../../evil.txt", b'5\t".." component\ta/../../evil.txt'),
            ("/abs/f.txt", b"5\tleading separator\t/abs/f.txt"),
            ("C:\\x\\f.txt", b"5\tdrive in name\tC:\\x\\f.txt"),
            ("n" * 260, b"5\tname too long\t" + b"n" * 260),
            # Names Windows reads as devices or NTFS streams, or shortens.
            ("aux.dat", b"5\tdevice name\taux.dat"),
            ("datafile/NUL", b"5\tdevice name\tdatafile/NUL"),
            ("COM1", b"5\tdevice name\tCOM1"),
            ("sub/lpt1.txt", b"5\tdevice name\tsub/lpt1.txt"),
            ("Con .txt", b"5\tdevice name\tCon .txt"),
            ("file.txt:ads", b"5\t':' in name\tfile.txt:ads"),
            ("dir/a:b", b"5\t':' in name\tdir/a:b"),
            ("dir./f.txt", b"5\tcomponent ends in '.' or ' '\tdir./f.txt"),
            ("f.txt ", b"5\tcomponent ends in '.' or ' '\tf.txt "),
            # Too long below C:\Program Files (x86)\Kelvane\ (228 bytes would fit 260 elsewhere).
            ("d/" + "n" * 226, b"5\tname too long\td/" + b"n" * 226),
            # Clashes, as the file system compares names.
            ("CONFIG.INI", b"5\tsame name as entry 0\tCONFIG.INI"),
            ("kvClient.exe/x.txt", b"2\tfile and folder of the same name\tkvClient.exe"),
            # zipfile flags a non-ASCII name as UTF-8; GBK cannot hold Korean.
            ("\ud55c.txt", b"5\tUTF-8 name outside GBK\t<U+D55C>.txt"),
        ]
        for i, (name, line) in enumerate(cases):
            path = self.python_zip("unsafe%d.zip" % i, base + [(name, b"evil", zipfile.ZIP_DEFLATED)])
            rc, lines, _ = self.kvzip("check", path)
            if len(name) < 260:
                self.assertEqual((rc, lines), (1, [line]), name)
            else:  # the reader may refuse the cut name as well
                self.assertEqual((rc, lines[0]), (1, line), name)
        # The longest name that fits is fine; so are read-only entries, with a
        # warning, since a reinstall cannot replace what they leave.
        self.assertEqual(self.kvzip("check", self.python_zip("fits.zip", base + [("d/" + "n" * 225, b"x", 8)]))[:2],
                         (0, []))
        path = self.python_zip("readonly.zip", base)
        with zipfile.ZipFile(self.session.unix(path), "a") as z:
            info = zipfile.ZipInfo("ro.txt", (2020, 9, 13, 12, 26, 40))
            info.create_system, info.external_attr = 0, 0x21
            z.writestr(info, b"read-only")
        rc, lines, err = self.kvzip("check", path)
        self.assertEqual((rc, lines), (0, []))
        self.assertIn(b"warning: entry 5 has attributes 0x01", err)
        # A folder name without the folder attribute would be written as a file.
        path = self.python_zip("notfolder.zip", base)
        with zipfile.ZipFile(self.session.unix(path), "a") as z:
            z.writestr(zipfile.ZipInfo("plain/", (2020, 9, 13, 12, 26, 40)), b"")
        self.assertEqual(self.kvzip("check", path)[:2], (1, [b"5\tfolder name on a file entry\tplain/"]))
        # Whatever the reader makes of such names, extraction stays inside.
        path = self.python_zip("evil.zip", base + [("../evil.txt", b"e", 8), ("x/../../evil2.txt", b"e", 8)])
        self.kvzip("extract", path, r"C:\out\jail\inner")
        self.assertEqual(os.listdir(self.session.unix(r"C:\out\jail")), ["inner"])

        only_config = self.python_zip("missing.zip", base[:1] + [("pic/kvUpdate.exe", b"x", 8)])
        self.assertEqual(self.kvzip("check", only_config)[:2],
                         (1, [b"archive\tmissing file\t" + n.encode() for n in REQUIRED[1:]]))

    def test_chinese_names_on_every_code_page(self):
        """说明.txt stored in GBK without the flag, as Windows' own zip writes
        it, and 图片/背景.txt in UTF-8 with bit 11: the same Unicode names on
        disk whatever the system's ANSI code page."""
        path = os.path.join(self.work, "chinese.zip")
        with zipfile.ZipFile(path, "w") as z:
            z.writestr("#sm#.txt", b"gbk name")  # renamed below, same length
            z.writestr("图片/背景.txt", b"utf-8 name")
        with open(path, "rb") as f:
            data = f.read().replace(b"#sm#.txt", gbk("说明.txt"))
        with open(path, "wb") as f:
            f.write(data)
        for code_page in (936, 1252, 950):
            with WineSession(code_page=code_page) as session:
                os.makedirs(session.unix(r"C:\work"))
                with open(session.unix(r"C:\work\chinese.zip"), "wb") as f:
                    f.write(data)
                rc, out, _ = session.run(KVZIP, ["list", r"C:\work\chinese.zip"])
                self.assertEqual([l.split(b"\t")[-1] for l in out.splitlines()],
                                 [gbk("说明.txt"), gbk("图片/背景.txt")], code_page)
                folder = "C:\\解压\\%d" % code_page  # the folder argument goes through the conversion too
                rc, out, err = session.run(KVZIP, ["extract", r"C:\work\chinese.zip", folder])
                self.assertEqual((rc, out), (0, b""), (code_page, err))
                root = session.unix(folder)
                self.assertEqual(sorted(os.listdir(root)), ["图片", "说明.txt"], code_page)
                self.assertEqual(os.listdir(os.path.join(root, "图片")), ["背景.txt"], code_page)
                with open(os.path.join(root, "图片", "背景.txt"), "rb") as f:
                    self.assertEqual(f.read(), b"utf-8 name")

    def test_archive_too_large_for_the_installer(self):
        # Sparse files: the check refuses them by their size alone, before
        # reading a byte (they hold no end record either). 5 GiB is past
        # what a 32-bit size holds.
        limit = 1700000000
        for size, shown in [(limit + 1, b"1,700,000,001"), (5 << 30, b"5,368,709,120")]:
            path = self.archive("big-%d.zip" % size)
            with open(self.session.unix(path), "wb") as f:
                f.truncate(size)
            rc, lines, _ = self.kvzip("check", path)
            os.remove(self.session.unix(path))
            self.assertEqual((rc, len(lines)), (1, 1), size)
            self.assertTrue(
                lines[0].startswith(b"archive\ttoo large\t%s bytes, over the limit of 1,700,000,000: " % shown), lines[0])

    def test_usage_errors(self):
        for args in ([], ["list"], ["extract", r"C:\work\a.zip"], ["unpack", r"C:\work\a.zip"]):
            rc, lines, err = self.kvzip(*args)
            self.assertEqual((rc, lines), (2, []), args)
            self.assertIn(b"usage", err)


if __name__ == "__main__":
    unittest.main()
