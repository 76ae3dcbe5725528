"""The embedded payload, end to end: an unattended install writes every entry
of the archive into the install folder with its bytes, folders, attributes
and times; a damaged entry fails alone and the exit status says so; an
archive comment changes nothing."""
import calendar
import os
import shutil
import struct
import unittest
import zipfile

from kvharness import BUILD, DOWNLOADS, INSTALL_DIR, KVZIP, WineSession

# Reports go to closed loopback ports: they fail at once and change nothing.
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"
PAYLOAD = os.path.join(BUILD, "payload", "payload.zip")
BAD_PAYLOAD = os.path.join(BUILD, "payload", "payload_badcrc.zip")
BAD_KVSETUP = os.path.join(BUILD, "kvsetup_badpayload.exe")
REQUIRED = ["config.ini", "version.data", "kvClient.exe", "kvUpdate.exe", "kv_Uninstall.exe"]


def dos_time_as_utc(info):
    """The entry's DOS time read as local time, which is UTC in the tests."""
    return calendar.timegm(info.date_time + (0, 0, -1))


def with_comment(data, comment):
    """The same archive with an archive comment (the end record is last)."""
    end = data.rindex(b"PK\x05\x06")
    assert struct.unpack_from("<H", data, end + 20)[0] == 0 and len(data) == end + 22
    return data[:end + 20] + struct.pack("<H", len(comment)) + comment


def attrib_flags(session, folder):
    """{lower-case path below folder: attribute letters} from `attrib /s`."""
    rc, out, _ = session.wine("cmd", "/c", "attrib", "/s", folder + "\\*")
    flags = {}
    prefix = (folder + "\\").lower()
    for line in out.decode("gbk", "replace").splitlines():
        path = line[13:].strip() if len(line) > 13 else ""
        if path.lower().startswith(prefix):
            flags[path[len(prefix):].replace("\\", "/").lower()] = line[:13].replace(" ", "")
    return flags


def updater_started(session):
    return os.path.exists(os.path.join(session.unix(INSTALL_DIR), "kvUpdate.started.txt"))


class PayloadInstall(unittest.TestCase):
    def assert_installed(self, session, archive, folder, skip=()):
        with zipfile.ZipFile(archive) as z:
            infos = z.infolist()
            for info in infos:
                if info.filename in skip:
                    continue
                path = os.path.join(folder, info.filename)
                if info.is_dir():
                    self.assertTrue(os.path.isdir(path), info.filename)
                    continue
                self.assertTrue(os.path.isfile(path), info.filename)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), z.read(info), info.filename)
                self.assertEqual(os.stat(path).st_mtime, dos_time_as_utc(info), info.filename)
        return infos

    def test_unattended_install_writes_every_entry(self):
        with WineSession() as s:
            p = s.start_installer(["admin"], config=CONFIG)
            self.assertEqual(p.wait(120), 0)
            folder = s.unix(INSTALL_DIR)
            infos = self.assert_installed(s, PAYLOAD, folder)
            for name in REQUIRED:
                self.assertTrue(os.path.isfile(os.path.join(folder, name)), name)
            # Folders come from their entries even when nothing lies in them.
            folders = [i.filename for i in infos if i.is_dir()]
            self.assertEqual(len(folders), 8)
            self.assertEqual(os.listdir(os.path.join(folder, "videoPicture", "wide")), [])
            # Every file carries the archive attribute only (0x20 / 0x2020).
            flags = attrib_flags(s, INSTALL_DIR)
            for info in infos:
                if not info.is_dir():
                    self.assertEqual(flags.get(info.filename.lower()), "A", info.filename)
            self.assertFalse(updater_started(s))

    def test_damaged_entry_installs_nothing_with_exit_status_2(self):
        with WineSession() as s:
            cwd = s.prepare_folder(DOWNLOADS, CONFIG)
            shutil.copy(BAD_KVSETUP, os.path.join(cwd, "kvsetup.exe"))
            p = s.start(os.path.join(cwd, "kvsetup.exe"), ["admin"], cwd)
            status = p.wait(120)
            self.assertEqual(status, 2)
            # readme.txt records a wrong CRC-32, and the run says so; an install
            # is whole or not at all, so nothing is installed, and no folder made.
            self.assertRegex(status.said, r'kvsetup: entry \d+ "readme\.txt" not written: ZRES_BAD_DATA')
            self.assertIn("nothing in the install folder was changed", status.said)
            self.assertFalse(os.path.exists(s.unix(INSTALL_DIR)))
            self.assertFalse(updater_started(s))

    def test_archive_comment_changes_nothing(self):
        with open(PAYLOAD, "rb") as f:
            data = f.read()
        commented = with_comment(data, bytes(range(32, 127)) * 60)  # 5,700 bytes
        with WineSession() as s:
            work = s.unix(r"C:\work")
            os.makedirs(work)
            for name, content in (("plain.zip", data), ("commented.zip", commented)):
                with open(os.path.join(work, name), "wb") as f:
                    f.write(content)
            for name in ("plain", "commented"):
                rc, out, _ = s.run(KVZIP, ["extract", r"C:\work\%s.zip" % name, r"C:\out\%s" % name])
                self.assertEqual((rc, out), (0, b""), name)
            rc, out, _ = s.run(KVZIP, ["check", r"C:\work\commented.zip"])
            self.assertEqual((rc, out), (0, b""))
            self.assert_installed(s, PAYLOAD, s.unix(r"C:\out\commented"))
            plain_tree = sorted(os.walk(s.unix(r"C:\out\plain")))
            commented_tree = sorted(os.walk(s.unix(r"C:\out\commented")))
            self.assertEqual([(d[1], d[2]) for d in plain_tree], [(d[1], d[2]) for d in commented_tree])


if __name__ == "__main__":
    unittest.main()
