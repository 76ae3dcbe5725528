"""A signed release build with a throw-away certificate: the signature
verifies against that certificate and no longer after one flipped byte; the
signed installer installs unattended; an archive the build refuses is never
signed; removing the signature gives back the unsigned build byte for byte.

One scratch build serves every test. It is configured with KV_VERSION and
KV_SOURCE_DATE_EPOCH, so its version resource shows the override and its
PE time stamp is that time."""
import os
import shutil
import subprocess
import sys
import unittest
import zipfile

import pe
from kvharness import INSTALL_DIR, ROOT, RUNS_32_BIT, WineSession
from release_support import build, configure, expected_version_info, readme_scripts, remove, run_script, scratch_folder, version_info

OVERRIDE = "2.5.0.17"
LINK_TIME = 1600000000  # KV_SOURCE_DATE_EPOCH of the scratch build


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def verify(exe, cert):
    r = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", exe], capture_output=True, text=True)
    return r.returncode, r.stdout + r.stderr


class SignedBuild(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = scratch_folder("kv-signed-")
        t = cls.tmp
        cls.cert = os.path.join(t, "cert.pem")
        password = os.path.join(t, "password.txt")
        cls.p12 = p12 = os.path.join(t, "sign.p12")
        with open(password, "w") as f:
            f.write("throw-away password\n")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", "key.pem",
                "-out", cls.cert, "-subj", "/CN=Kelvane Test Signing/O=Brevanta",
                "-addext", "extendedKeyUsage=codeSigning", cwd=t)
        openssl("pkcs12", "-export", "-inkey", "key.pem", "-in", cls.cert, "-out", p12,
                "-passout", "file:" + password, cwd=t)
        refused = os.path.join(t, "refused.zip")  # kvsetup could not install it: no kvUpdate.exe
        with zipfile.ZipFile(refused, "w") as z:
            z.writestr("config.ini", b"[log]\r\n")
            z.writestr("version.data", b"2.5.0.17".ljust(32, b"\0"))

        cls.build_dir = os.path.join(t, "build")
        exe = os.path.join(cls.build_dir, "kvsetup.exe")
        signing = dict(KV_SIGN_PKCS12=p12, KV_SIGN_PASSWORD_FILE=password, KV_VERSION=OVERRIDE,
                       KV_SOURCE_DATE_EPOCH=str(LINK_TIME))

        # 1. The refused archive, with signing asked for.
        cls.refused = cls.configure_and_build(KV_PAYLOAD_ZIP=refused, **signing)
        cls.refused_left_exe = os.path.exists(exe)
        # An archive one byte over what kvsetup can carry (sparse: refused
        # by its size before anything reads or copies it).
        cls.too_large = os.path.join(t, "too-large.zip")
        with open(cls.too_large, "wb") as f:
            f.truncate(1700000001)
        cls.too_large_build = cls.configure_and_build(KV_PAYLOAD_ZIP=cls.too_large, **signing)
        cls.too_large_copied = os.path.exists(os.path.join(cls.build_dir, "payload", "payload.zip"))
        cls.too_large_left_exe = os.path.exists(exe)
        os.remove(cls.too_large)
        # 2. The sample payload, signed.
        cls.signed_build = cls.configure_and_build(KV_PAYLOAD_ZIP="", **signing)
        cls.signed = os.path.join(t, "signed.exe")
        shutil.copy(exe, cls.signed)
        # 3. The same without signing.
        cls.configure_and_build(KV_SIGN_PKCS12="", KV_SIGN_PASSWORD_FILE="")
        cls.unsigned = os.path.join(t, "unsigned.exe")
        shutil.copy(exe, cls.unsigned)

    @classmethod
    def configure_and_build(cls, **cache):
        rc, out = configure(cls.build_dir, **cache)
        if rc != 0:
            raise AssertionError("configure failed:\n" + out)
        rc, out, seconds = build(cls.build_dir)
        print("\nscratch build %s: exit status %d, %.0f s" % (sorted(cache.items()), rc, seconds))
        return rc, out

    @classmethod
    def tearDownClass(cls):
        remove(cls.tmp)

    def test_a_refused_archive_stops_the_build_before_signing(self):
        rc, out = self.refused
        self.assertNotEqual(rc, 0)
        self.assertIn("kvsetup cannot install the payload archive", out)
        self.assertIn("kvUpdate.exe", out)
        self.assertNotIn("Signed", out)
        self.assertFalse(self.refused_left_exe, "an installer with the refused archive was made")

    def test_an_archive_too_large_stops_the_build_with_one_line(self):
        rc, out = self.too_large_build
        self.assertNotEqual(rc, 0)
        lines = [line for line in out.splitlines() if "kvsetup cannot install" in line]
        self.assertEqual(lines, ["error: kvsetup cannot install the payload archive %s: too large: 1,700,000,001 "
                                 "bytes, over the limit of 1,700,000,000: kvsetup.exe is a 32-bit program that maps "
                                 "its whole file, payload included, into 2 GB of address space" % self.too_large])
        self.assertFalse(self.too_large_copied or self.too_large_left_exe)

    def test_signature_verifies_against_the_certificate(self):
        rc, out = self.signed_build
        self.assertEqual(rc, 0, out)
        self.assertIn("Signed", out)
        self.assertRegex(out, r"Signed[^\n]*\n[^\n]*kvsetup.exe: [0-9,]+ bytes", "the size report is of the signed file")
        rc, out = verify(self.signed, self.cert)
        self.assertEqual(rc, 0, out)
        self.assertIn("Message digest algorithm  : SHA256", out)
        self.assertIn("Subject: /CN=Kelvane Test Signing/O=Brevanta", out)

    def test_one_flipped_byte_fails_verification(self):
        with open(self.signed, "rb") as f:
            data = f.read()
        image = pe.Pe(data)
        code = next(raw for name, _, _, _, raw in image.sections if name == ".text")
        payload = data.index(b"PK\x03\x04")
        version = data.index("Kelvane Setup".encode("utf-16-le"))
        places = {"code": code + 0x100, "payload": payload + 30_000, "version resource": version}
        for place, at in places.items():
            flipped = bytearray(data)
            flipped[at] ^= 0x01
            path = os.path.join(self.tmp, "flipped.exe")
            with open(path, "wb") as f:
                f.write(flipped)
            rc, out = verify(path, self.cert)
            self.assertNotEqual(rc, 0, place)

    def test_removing_the_signature_gives_the_unsigned_build(self):
        stripped = os.path.join(self.tmp, "stripped.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", self.signed, "-out", stripped],
                       check=True, capture_output=True)
        with open(stripped, "rb") as a, open(self.unsigned, "rb") as b:
            self.assertTrue(a.read() == b.read(), "the signed build differs from the unsigned one")
        self.assertEqual(pe.read(self.unsigned).certificate_table, (0, 0))
        self.assertEqual(pe.read(self.unsigned).timestamp, LINK_TIME)

    def test_a_failed_signing_leaves_no_unsigned_file(self):
        exe = os.path.join(self.tmp, "to-sign.exe")
        shutil.copy(self.unsigned, exe)
        wrong = os.path.join(self.tmp, "wrong-password.txt")
        with open(wrong, "w") as f:
            f.write("not the password\n")
        r = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "release", "sign.py"), "osslsigncode",
                            exe, self.p12, wrong], capture_output=True, text=True)
        self.assertEqual(r.returncode, 1)
        self.assertIn("the unsigned file was removed", r.stderr)
        self.assertFalse(os.path.exists(exe))

    def test_signed_installer_shows_the_override_and_installs_unattended(self):
        with WineSession() as s:
            self.assertEqual(version_info(s, self.signed), expected_version_info(OVERRIDE, OVERRIDE))
            if not RUNS_32_BIT:
                self.skipTest("the signed installer is the 32-bit file, and this run starts no 32-bit program")
            # `start /wait kvsetup.exe admin` and `echo %ERRORLEVEL%`, as the README has them.
            rc, out = run_script(s, self.signed, readme_scripts()[0])
            self.assertEqual(out.split()[-1:], ["0"], out)
            with zipfile.ZipFile(os.path.join(self.build_dir, "payload", "payload.zip")) as z:
                for info in z.infolist():
                    path = os.path.join(s.unix(INSTALL_DIR), info.filename)
                    if info.is_dir():
                        self.assertTrue(os.path.isdir(path), info.filename)
                    else:
                        with open(path, "rb") as f:
                            self.assertEqual(f.read(), z.read(info), info.filename)


if __name__ == "__main__":
    unittest.main()
