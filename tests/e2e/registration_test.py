"""Uninstall registration and shortcuts after an unattended install.

The shortcuts are read back inside the prefix by lnkinfo.exe (built beside
the Windows unit tests), which asks the shell for the special folder and
loads the .lnk through the shell-link interface.
"""
import os
import unittest

import kvharness as h

UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane"
LNKINFO = os.path.join(h.BUILD, "tests", "windows", "lnkinfo.exe")
CSIDL_PROGRAMS = 2
CSIDL_DESKTOPDIRECTORY = 16

# Reports go to a closed loopback port, so they fail at once.
CONFIG = "[update]\nupdatehost=127.0.0.1:1\n"


def link_info(session, csidl, relative):
    """What the shell reads from the shortcut csidl\\relative, as a dict
    (path, target, workdir, description, arguments), or None when the file
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

    def test_four_uninstall_values(self):
        # The unattended folder keeps its trailing "\": the uninstaller path
        # has a doubled separator, exactly as the install step forms it.
        uninstaller = "C:\\Program Files\\Kelvane\\\\kv_Uninstall.exe"
        expected = {
            "DisplayName": ("REG_SZ", "Kelvane"),
            "Publisher": ("REG_SZ", "Brevanta"),
            "UninstallString": ("REG_SZ", uninstaller),
            "DisplayIcon": ("REG_SZ", uninstaller),
        }
        for name, value in expected.items():
            with self.subTest(name=name):
                self.assertEqual(value, self.session.reg_query(UNINSTALL_KEY, name))

    def test_no_other_values(self):
        rc, out, _ = self.session.wine("reg", "query", UNINSTALL_KEY)
        self.assertEqual(0, rc)
        names = sorted(line.split()[0] for line in out.decode("gbk").splitlines()
                       if line.startswith("    ") and "REG_" in line)
        self.assertEqual(["DisplayIcon", "DisplayName", "Publisher", "UninstallString"], names)

    def test_start_menu_and_desktop_links(self):
        run = {"target": "C:\\Program Files\\Kelvane\\kvUpdate.exe",
               "workdir": "C:\\Program Files\\Kelvane",
               "description": "运行Kelvane", "arguments": ""}
        uninstall = {"target": "C:\\Program Files\\Kelvane\\kv_Uninstall.exe",
                     "workdir": "C:\\Program Files\\Kelvane",
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


if __name__ == "__main__":
    unittest.main()
