"""Uninstall registration and shortcuts after an unattended install.

The shortcuts are read back inside the prefix by lnkinfo.exe (built beside
the Windows unit tests), which asks the shell for the special folder and
loads the .lnk through the shell-link interface.
"""
import os
import time
import unittest

import kvharness as h

UNINSTALL_KEY = h.UNINSTALL_KEY
LNKINFO = os.path.join(h.BUILD, "tests", "windows", "lnkinfo.exe")
CSIDL_PROGRAMS = 2
CSIDL_DESKTOPDIRECTORY = 16

# Reports go to a closed loopback port, so they fail at once.
CONFIG = "[update]\nupdatehost=127.0.0.1:1\n"


def link_info(session, csidl, relative):
    """What the shell reads from the shortcut csidl\\relative, as a dict
    (path, target, workdir, description, arguments, item), or None when the file
    is missing or is no shortcut."""
    rc, out, _ = session.run(LNKINFO, [str(csidl), relative])
    if rc != 0:
        return None
    return dict(line.split("=", 1) for line in out.decode("gbk").splitlines() if "=" in line)


def special_folder(session, csidl):
    """Linux path of a special folder of the prefix's user."""
    rc, out, _ = session.run(LNKINFO, [str(csidl), "-"])
    first = out.decode("gbk").splitlines()[0]
    assert first.startswith("path=") and first.endswith("\\-"), first
    return session.unix(first[len("path="):-2])


def run_unattended(session, timeout=120):
    p = session.start_installer(["admin"], config=CONFIG)
    p.communicate(timeout=timeout)
    return p.returncode


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

    def test_four_uninstall_values_in_both_registry_views(self):
        # The unattended folder keeps its trailing "\": the uninstaller path
        # has a doubled separator, exactly as the install step forms it.
        uninstaller = h.INSTALL_DIR + "\\\\kv_Uninstall.exe"
        expected = {
            "DisplayName": ("REG_SZ", "Kelvane"),
            "Publisher": ("REG_SZ", "Brevanta"),
            "UninstallString": ("REG_SZ", uninstaller),
            "DisplayIcon": ("REG_SZ", uninstaller),
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
        rc, out, _ = self.session.wine("reg", "query", UNINSTALL_KEY)
        self.assertEqual(0, rc)
        names = sorted(line.split()[0] for line in out.decode("gbk").splitlines()
                       if line.startswith("    ") and "REG_" in line)
        self.assertEqual(["DisplayIcon", "DisplayName", "Publisher", "UninstallString"], names)

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

            # Installing again into the default folder overwrites all four
            # values and the shortcuts.
            self.assertEqual(0, run_unattended(s))
            uninstaller = h.INSTALL_DIR + "\\\\kv_Uninstall.exe"
            for name, value in (("DisplayName", "Kelvane"), ("Publisher", "Brevanta"),
                                ("UninstallString", uninstaller), ("DisplayIcon", uninstaller)):
                self.assertEqual(("REG_SZ", value), s.reg_query(UNINSTALL_KEY, name), name)
            for relative in ("Kelvane\\Kelvane.lnk", "Kelvane\\卸载.lnk"):
                info = link_info(s, CSIDL_PROGRAMS, relative)
                self.assertEqual(h.INSTALL_DIR, info["workdir"], relative)


if __name__ == "__main__":
    unittest.main()
