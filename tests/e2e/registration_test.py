"""Uninstall registration and shortcuts after an unattended install.

The shortcuts are read back inside the prefix by lnkinfo.exe (built beside
the Windows unit tests), which asks the shell for the special folder and
loads the .lnk through the shell-link interface.
"""
import datetime
import os
import time
import unittest

import kvharness as h

UNINSTALL_KEY = h.UNINSTALL_KEY
LNKINFO = os.path.join(h.BUILD, "tests", "windows", "lnkinfo.exe")
NOVERSION = os.path.join(h.BUILD, "kvsetup_noversion.exe")  # version.data whose version bytes are all NUL
CSIDL_PROGRAMS = 2
CSIDL_DESKTOPDIRECTORY = 16

# Reports go to a closed loopback port, so they fail at once.
CONFIG = "[update]\nupdatehost=127.0.0.1:1\n"


def link_info(session, csidl, relative):
    """What the shell reads from the shortcut csidl\\relative, as a dict
    (path, target, workdir, description, arguments, item), or None when the file
    is missing or is no shortcut."""
    rc, out, _ = session.run(LNKINFO, [str(csidl), relative], timeout=30)
    if rc != 0:
        return None
    return dict(line.split("=", 1) for line in out.decode("gbk").splitlines() if "=" in line)


def special_folder(session, csidl):
    """Linux path of a special folder of the prefix's user."""
    rc, out, _ = session.run(LNKINFO, [str(csidl), "-"])
    first = out.decode("gbk").splitlines()[0]
    assert first.startswith("path=") and first.endswith("\\-"), first
    return session.unix(first[len("path="):-2])


def run_unattended(session, timeout=120, exe=h.KVSETUP):
    p = session.start_installer(["admin"], config=CONFIG, exe=exe)
    p.communicate(timeout=timeout)
    return p.returncode


def today_or_yesterday():
    """InstallDate texts of an install that ended just now (the prefix's
    local time is UTC)."""
    now = datetime.datetime.utcnow()
    return {(now - datetime.timedelta(minutes=m)).strftime("%Y%m%d") for m in (0, 10)}


def listed_values(session, key=UNINSTALL_KEY):
    """[(name, type, data)] of the key, as `reg query` lists them."""
    rc, out, _ = session.wine("reg", "query", key)
    assert rc == 0, rc
    values = []
    for line in out.decode("gbk").splitlines():
        parts = line.strip().split(None, 2)
        if line.startswith("    ") and len(parts) >= 2 and parts[1].startswith("REG_"):
            values.append((parts[0], parts[1], parts[2] if len(parts) > 2 else ""))
    return values


def installed_bytes(session, folder=h.INSTALL_DIR):
    return sum(os.path.getsize(os.path.join(root, f)) for root, _, files in os.walk(session.unix(folder))
               for f in files)


class UnattendedRegistrationTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(LNKINFO):
            raise unittest.SkipTest("lnkinfo.exe not built at %s" % LNKINFO)
        cls.session = h.WineSession()
        cls.status = run_unattended(cls.session)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def test_exits_normally(self):
        self.assertEqual(0, self.status)

    def test_installs_into_the_program_files_folder_of_its_kind(self):
        self.assertTrue(os.path.isfile(os.path.join(self.session.unix(h.INSTALL_DIR), "kvClient.exe")), h.INSTALL_DIR)
        if h.RUNS_32_BIT:
            self.assertFalse(os.path.exists(self.session.unix(r"C:\Program Files\Kelvane")))

    def test_uninstall_values_in_both_registry_views(self):
        # The unattended folder keeps its trailing "\": the uninstaller path
        # has a doubled separator, exactly as the install step forms it.
        uninstaller = h.INSTALL_DIR + "\\\\kv_Uninstall.exe"
        date = self.session.reg_query(UNINSTALL_KEY, "InstallDate")
        self.assertIn(date and date[1], today_or_yesterday())
        expected = {
            "DisplayName": ("REG_SZ", "Kelvane"),
            "Publisher": ("REG_SZ", "Brevanta"),
            "UninstallString": ("REG_SZ", uninstaller),
            "DisplayIcon": ("REG_SZ", uninstaller),
            "DisplayVersion": ("REG_SZ", "1.4.3"),  # the sample payload's version.data
            "InstallLocation": ("REG_SZ", h.INSTALL_DIR),
            "InstallDate": date,
            "EstimatedSize": ("REG_DWORD", self.session.reg_query(UNINSTALL_KEY, "EstimatedSize")[1]),
            "NoModify": ("REG_DWORD", "0x1"),
            "NoRepair": ("REG_DWORD", "0x1"),
        }
        # The installer's own kind of reg.exe at the key it writes, and a
        # 64-bit one where 64-bit Windows keeps a 32-bit program's key.
        for reader, key in (("wine", UNINSTALL_KEY), (h.WINE64, h.UNINSTALL_KEY_64)):
            for name, value in expected.items():
                with self.subTest(reader=reader, key=key, name=name):
                    self.assertEqual(value, self.session.reg_query(key, name, reader=reader))
        if h.RUNS_32_BIT:
            self.assertIsNone(self.session.reg_query(UNINSTALL_KEY, "DisplayName", reader=h.WINE64),
                              "a 32-bit program's key shows in the 64-bit view")

    def test_no_other_values(self):
        names = [name for name, _, _ in listed_values(self.session)]
        self.assertEqual(sorted(["DisplayName", "Publisher", "UninstallString", "DisplayIcon", "DisplayVersion",
                                 "InstallLocation", "InstallDate", "EstimatedSize", "NoModify", "NoRepair"]),
                         sorted(names))

    def test_estimated_size_is_what_was_installed(self):
        kib = int(self.session.reg_query(UNINSTALL_KEY, "EstimatedSize")[1], 16)
        total = installed_bytes(self.session)
        self.assertGreater(total, 50000)
        self.assertLess(abs(kib * 1024 - total), 1024, (kib, total))

    def test_start_menu_and_desktop_links(self):
        run = {"target": h.INSTALL_DIR + "\\kvUpdate.exe", "item": h.INSTALL_DIR + "\\kvUpdate.exe",
               "workdir": h.INSTALL_DIR,
               "description": "运行Kelvane", "arguments": ""}
        uninstall = {"target": h.INSTALL_DIR + "\\kv_Uninstall.exe", "item": h.INSTALL_DIR + "\\kv_Uninstall.exe",
                     "workdir": h.INSTALL_DIR,
                     "description": "卸载Kelvane", "arguments": ""}
        cases = [(CSIDL_PROGRAMS, "Kelvane\\Kelvane.lnk", run),
                 (CSIDL_PROGRAMS, "Kelvane\\卸载.lnk", uninstall),
                 (CSIDL_DESKTOPDIRECTORY, "Kelvane.lnk", run)]
        for csidl, relative, expected in cases:
            with self.subTest(link=relative, csidl=csidl):
                info = link_info(self.session, csidl, relative)
                self.assertIsNotNone(info, "no shortcut %s in folder %d" % (relative, csidl))
                del info["path"]
                self.assertEqual(expected, info)

    def test_exactly_the_expected_shortcut_files(self):
        programs = special_folder(self.session, CSIDL_PROGRAMS)
        desktop = special_folder(self.session, CSIDL_DESKTOPDIRECTORY)
        self.assertEqual(sorted(["Kelvane.lnk", "卸载.lnk"]), sorted(os.listdir(os.path.join(programs, "Kelvane"))))
        self.assertEqual(["Kelvane.lnk"], [n for n in os.listdir(desktop) if n.endswith(".lnk")])
        self.assertFalse(os.path.exists(os.path.join(desktop, "Kelvane")))


class InteractiveRegistrationTest(unittest.TestCase):
    """A folder typed into the wizard, without the desktop shortcut; then an
    unattended install over it into the default folder."""

    def test_typed_folder_then_reinstall_elsewhere(self):
        if not os.path.isfile(LNKINFO):
            self.skipTest("lnkinfo.exe not built at %s" % LNKINFO)
        with h.WineSession() as s:
            p = s.start_installer([], config=CONFIG)
            wid = s.wait_for_wizard()
            self.assertTrue(wid, "the wizard did not show")
            s.set_install_folder(wid, "C:\\Apps\\Kelvane\\  ")
            s.click(wid, *h.DESKTOP_CHECKBOX)
            s.click(wid, *h.RUN_CHECKBOX)
            s.click(wid, *h.INSTALL_BUTTON)
            installed = os.path.join(s.unix("C:\\Apps\\Kelvane"), "kvClient.exe")
            self.assertTrue(s.wait_for(lambda: os.path.isfile(installed), timeout=30), "nothing installed")
            time.sleep(6)  # past the fourth tick: the finish page is up
            s.click(wid, *h.CLOSE_BUTTON)
            self.assertEqual(0, p.wait(30))

            # The typed folder lost its trailing blanks and separator.
            self.assertEqual(("REG_SZ", "C:\\Apps\\Kelvane\\kv_Uninstall.exe"),
                             s.reg_query(UNINSTALL_KEY, "UninstallString"))
            run = link_info(s, CSIDL_PROGRAMS, "Kelvane\\Kelvane.lnk")
            self.assertEqual(("C:\\Apps\\Kelvane\\kvUpdate.exe", "C:\\Apps\\Kelvane"),
                             (run["target"], run["workdir"]))
            desktop = special_folder(s, CSIDL_DESKTOPDIRECTORY)
            self.assertEqual([], [n for n in os.listdir(desktop) if n.endswith(".lnk")])

            self.assertEqual(("REG_SZ", "C:\\Apps\\Kelvane"), s.reg_query(UNINSTALL_KEY, "InstallLocation"))

            # Installing again into the default folder overwrites all the
            # values and the shortcuts.
            self.assertEqual(0, run_unattended(s))
            uninstaller = h.INSTALL_DIR + "\\\\kv_Uninstall.exe"
            for name, value in (("DisplayName", "Kelvane"), ("Publisher", "Brevanta"),
                                ("UninstallString", uninstaller), ("DisplayIcon", uninstaller),
                                ("DisplayVersion", "1.4.3"), ("InstallLocation", h.INSTALL_DIR)):
                self.assertEqual(("REG_SZ", value), s.reg_query(UNINSTALL_KEY, name), name)
            for relative in ("Kelvane\\Kelvane.lnk", "Kelvane\\卸载.lnk"):
                info = link_info(s, CSIDL_PROGRAMS, relative)
                self.assertEqual(h.INSTALL_DIR, info["workdir"], relative)

            # A payload without a version over it: the earlier version goes,
            # the other values are written as ever.
            if os.path.isfile(NOVERSION):
                self.assertEqual(0, run_unattended(s, exe=NOVERSION))
                self.assertEqual(sorted(["DisplayName", "Publisher", "UninstallString", "DisplayIcon",
                                         "InstallLocation", "InstallDate", "EstimatedSize", "NoModify", "NoRepair"]),
                                 sorted(name for name, _, _ in listed_values(s)))
                self.assertEqual(("REG_SZ", h.INSTALL_DIR), s.reg_query(UNINSTALL_KEY, "InstallLocation"))
                self.assertEqual(("REG_DWORD", "0x1"), s.reg_query(UNINSTALL_KEY, "NoRepair"))


class NoVersionRegistrationTest(unittest.TestCase):
    def test_payload_without_a_version_writes_no_display_version(self):
        if not os.path.isfile(NOVERSION):
            self.skipTest("kvsetup_noversion.exe not built at %s" % NOVERSION)
        with h.WineSession() as s:
            self.assertEqual(0, run_unattended(s, exe=NOVERSION))
            names = [name for name, _, _ in listed_values(s)]
            self.assertNotIn("DisplayVersion", names)
            self.assertEqual(sorted(["DisplayName", "Publisher", "UninstallString", "DisplayIcon", "InstallLocation",
                                     "InstallDate", "EstimatedSize", "NoModify", "NoRepair"]), sorted(names))


if __name__ == "__main__":
    unittest.main()
