"""What a release engineer reads back from the installer of the test build:
its version resource as Windows reports it, its sizes, that it carries no
symbols; which versions the build refuses, from KV_VERSION or from the
payload's version.data; and the README's script for an unattended install."""
import os
import re
import tempfile
import unittest
import zipfile

import pe
import size_report
import version_rc
from kvharness import BUILD, SHIPPED, WineSession
from release_support import (configure, expected_version_info, readme_scripts, remove, run_script, scratch_folder,
                             version_info)

KVSETUP = os.path.join(SHIPPED, "kvsetup.exe")  # the shipped file, whichever programs the tests run
PAYLOAD = os.path.join(SHIPPED, "payload", "payload.zip")
BAD_KVSETUP = os.path.join(BUILD, "kvsetup_badpayload.exe")  # exits with 2


class TestBuildInstaller(unittest.TestCase):
    def test_version_resource_carries_the_sample_payloads_version(self):
        with WineSession() as s:
            self.assertEqual(version_info(s, KVSETUP), expected_version_info("1.4.3", "1.4.3.0"))

    def test_stub_stays_within_256_kib_and_the_report_says_where_it_goes(self):
        sizes = size_report.sizes(KVSETUP)
        print("\n" + size_report.report(KVSETUP, map_path=KVSETUP + ".map"))
        self.assertEqual(sizes["payload"], os.path.getsize(PAYLOAD))
        self.assertGreater(sizes["skin"], 900_000)  # at least the two top bitmaps
        self.assertLessEqual(sizes["stub"], 256 * 1024)
        # The stub is the file less .rsrc, and the sections account for it.
        image = pe.read(KVSETUP)
        rsrc = [rsize for name, _, _, rsize, _ in image.sections if name == ".rsrc"]
        self.assertEqual(sizes["stub"], os.path.getsize(KVSETUP) - sum(rsrc))
        self.assertEqual(sum(size for _, size in sizes["sections"]), sizes["stub"])
        # The link map's parts fit in it, and the program's own folders and
        # the libraries are named; what the build leaves out stays out.
        parts = size_report.map_breakdown(KVSETUP + ".map")
        self.assertLessEqual(sum(parts.values()), sizes["stub"])
        for name in ("kv_Install/archive", "kv_Install/ui", "libstdc++", "zlib", "DLL imports"):
            self.assertGreater(parts[name], 0, name)
        self.assertEqual(parts["winpthreads"], 0)

    def test_installer_is_a_32_bit_program_without_symbols(self):
        image = pe.read(KVSETUP)
        self.assertEqual((image.bits, image.machine), (32, 0x14C))  # PE32, i386
        self.assertEqual((image.symbol_table, image.symbol_count), (0, 0))
        self.assertEqual([name for name, *_ in image.sections if name.startswith((".debug", "/"))], [])


# Functions that Windows 7 SP1 lacks (8, 8.1 and 10 brought them), most of
# the display-scale kind: the program looks them up by name, so a static
# import would stop it from loading on Windows 7 and under Wine 8 alike.
NEWER_THAN_WINDOWS_7 = {
    "GetDpiForWindow", "GetDpiForSystem", "GetDpiForMonitor", "GetSystemMetricsForDpi", "SystemParametersInfoForDpi",
    "AdjustWindowRectExForDpi", "SetThreadDpiAwarenessContext", "GetThreadDpiAwarenessContext",
    "SetProcessDpiAwarenessContext", "SetProcessDpiAwareness", "GetWindowDpiAwarenessContext",
    "AreDpiAwarenessContextsEqual", "EnableNonClientDpiScaling", "SetDialogDpiChangeBehavior",
    "SetDialogControlDpiChangeBehavior", "LogicalToPhysicalPointForPerMonitorDPI", "OpenThemeDataForDpi",
    "GetDpiFromDpiAwarenessContext", "SetWindowTheme",
    # Windows 8 brought the process mitigations; the redirection guard is one.
    "SetProcessMitigationPolicy", "GetProcessMitigationPolicy"}


class TestManifestAndImports(unittest.TestCase):
    def test_imports_nothing_newer_than_windows_7(self):
        with open(os.path.join(SHIPPED, "kvsetup.dlls.txt")) as f:
            delayed = [line.split()[1:] for line in f if line.startswith("delay-loaded")][0]
        imports = pe.read(KVSETUP).imports([name + ".dll" for name in delayed])
        print("kvsetup.exe imports: " + "; ".join("%s %d" % (dll, len(names)) for dll, names in imports.items()))
        self.assertGreater(len(imports.get("gdiplus.dll", [])), 10)  # the delay-loaded ones are read too
        names = {name for functions in imports.values() for name in functions}
        self.assertEqual(names & NEWER_THAN_WINDOWS_7, set())
        self.assertEqual([dll for dll in imports if dll.lower().startswith(("shcore", "api-ms-", "uxtheme"))], [])
        # Looked up by name instead.
        with open(KVSETUP, "rb") as f:
            data = f.read()
        for name in ("GetDpiForWindow", "SetDialogDpiChangeBehavior", "SetWindowTheme", "SetProcessMitigationPolicy"):
            self.assertIn(name.encode() + b"\0", data)

    def test_manifest_declares_dpi_awareness_systems_and_common_controls_6(self):
        manifests = [res[-1] for res in pe.read(KVSETUP).resources() if res[0] == 24]
        self.assertEqual(len(manifests), 1)
        text = re.sub(r"<!--.*?-->", "", manifests[0].decode("utf-8"), flags=re.S)
        self.assertRegex(text, r"<dpiAware [^>]*>true/pm</dpiAware>")
        self.assertRegex(text, r"<dpiAwareness [^>]*>PerMonitorV2, PerMonitor</dpiAwareness>")
        windows = {"7": "35138b9a-5d96-4fbd-8e2d-a2440225f93a", "8": "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                   "8.1": "1f676c76-80e1-4239-95bb-83d0f6d0da78", "10 and 11": "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}
        for name, guid in windows.items():
            self.assertIn('<supportedOS Id="{%s}"/>' % guid, text, name)
        self.assertRegex(text, r'name="Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0"')
        self.assertIn('level="requireAdministrator"', text)


class TestSizeReportMap(unittest.TestCase):
    # GNU ld's map as it writes it for PE: long input section names on a
    # line of their own, fill, symbols under their section, and the
    # resources, which are not the stub's.
    MAP = """Discarded input sections
 .text          0x00000000       0x40 kv_Install/ui/libkv_ui.a(gone.cpp.obj)
Linker script and memory map
.text           0x00401000     0x2000
 .text          0x00401000      0x100 kv_Install/CMakeFiles/kvsetup.dir/app/app.cpp.obj
                0x00401010                WinMain@16
 .text$_ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEE7_M_dataEPc
                0x00401100       0x10 /usr/lib/gcc/i686-w64-mingw32/12-win32/libstdc++.a(string-inst.o)
 *fill*         0x00401110        0xc
 .text          0x0040111c      0x200 /usr/lib/gcc/i686-w64-mingw32/12-win32/../../../../i686-w64-mingw32/lib/../lib/libz.a(inflate.o)
 .text          0x0040131c        0x8 /usr/i686-w64-mingw32/lib/libkernel32.a(libkernel32s00020.o)
.rsrc           0x00473000    0xec198
 .rsrc          0x00473000    0xec198 kv_Install/res/CMakeFiles/kv_installer_res.dir/kv_Install.rc.res
.reloc          0x00560000     0x2700
 .reloc         0x00560000     0x2700 dll stuff
"""

    def test_input_sections_count_by_origin(self):
        with tempfile.NamedTemporaryFile("w", suffix=".map", delete=False) as f:
            f.write(self.MAP)
        self.addCleanup(os.remove, f.name)
        self.assertEqual(dict(size_report.map_breakdown(f.name)),
                         {"kv_Install/app": 0x100, "libstdc++": 0x10, "padding": 0xc, "zlib": 0x200,
                          "DLL imports": 8, "relocations": 0x2700})


class TestUnattendedFromScript(unittest.TestCase):
    def test_readme_batch_file_reports_a_failed_install(self):
        with WineSession() as s:
            rc, out = run_script(s, BAD_KVSETUP, readme_scripts()[1])
            self.assertEqual((rc, out.strip()), (2, "install failed"))


class TestRefusedVersions(unittest.TestCase):
    def test_kv_version_not_of_the_form_stops_configure(self):
        build_dir = scratch_folder("kv-badversion-")
        try:
            for bad in ("1.2", "1.2.3.4.5", "v1.2.3", "1.2.3-beta", "1.70000.0", "1..2.3", " 1.2.3"):
                rc, out = configure(build_dir, KV_VERSION=bad)
                self.assertNotEqual(rc, 0, bad)
                self.assertIn('KV_VERSION is "%s", which is not a version of the form N.N.N or N.N.N.N' % bad,
                              re.sub(r"\s+", " ", out), bad)
                self.assertFalse(os.path.exists(os.path.join(build_dir, "build.ninja")), bad)
        finally:
            remove(build_dir)

    def test_version_data_texts(self):
        listing = b"config.ini\r\nkvClient.exe\r\n"
        cases = [
            (b"1.4.3".ljust(32, b"\0") + listing, "1.4.3"),
            (b"2.0.1.7\r\n".ljust(32, b"\0"), "2.0.1.7"),
            (b" 10.0.65535".ljust(32, b" "), "10.0.65535"),
            (b"1.4".ljust(32, b"\0"), None),
            (b"1.4.3 beta".ljust(32, b"\0"), None),
            (b"1.4.65536".ljust(32, b"\0"), None),
            (b"\0" * 32 + b"1.4.3", None),  # missing version, text after the 32 bytes
            (b"1.2.3" * 7, None),  # 32 bytes without a NUL: "1.2.31.2.3..." cut at 32
        ]
        with tempfile.TemporaryDirectory() as tmp:
            for data, expected in cases:
                archive = os.path.join(tmp, "p.zip")
                with zipfile.ZipFile(archive, "w") as z:
                    z.writestr("version.data", data)
                if expected is None:
                    with self.assertRaisesRegex(version_rc.VersionError, "not a version of the form.*KV_VERSION"):
                        version_rc.payload_version(archive)
                else:
                    self.assertEqual(version_rc.payload_version(archive), expected, data)
            with zipfile.ZipFile(archive, "w") as z:
                z.writestr("readme.txt", b"no version")
            with self.assertRaisesRegex(version_rc.VersionError, "no version.data; set -DKV_VERSION"):
                version_rc.payload_version(archive)


if __name__ == "__main__":
    unittest.main()
