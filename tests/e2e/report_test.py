"""Both install reports, end to end: unattended installs of the real
kvsetup.exe report to loopback listeners, the HTTP setup report to the update
host of .\\config.ini and the TCP install log to the log server of the
installed config.ini (127.0.0.1:16666 in the sample payload).

One Wine prefix serves the whole class; each test is one install, so the
cases are grouped to keep the number of runs down.
"""
import os
import re
import struct
import time
import unittest

from kvharness import DOWNLOADS, INSTALL_DIR, LOG_PORT, WineSession, gbk
from listeners import HttpListener, TcpListener
from packdecode import decode_install_log, describe_install_log

BUILT_IN_UPDATE_PORT = 18080  # the build's default update host is 127.0.0.1:18080
RUN_LIMIT = 60                # seconds an unattended install may take here

URL_RE = re.compile(r"^/(?P<path>.*)client/loggingSetup\?clientIdentity=(?P<identity>[0-9A-F]{12})"
                    r"&clientType=4&deviceIp=(?P<ip>\d+\.\d+\.\d+\.\d+)&kcUserNo=(?P<user>[^&]*)"
                    r"&currentVersion=1\.0&downloadSource=(?P<source>.*)$")


def config(host=None, context_path=None, source=None):
    text = ""
    if host is not None:
        text += "[update]\r\nupdatehost=%s\r\n" % host
    if context_path is not None:
        text += "[arp]\r\ncontext_path=%s\r\n" % context_path
    if source is not None:
        text += "[DownLoadSource]\r\nsource=%s\r\n" % source
    return text


def closed_port():
    """A loopback port nothing listens on."""
    with TcpListener() as probe:
        return probe.port


class InstallReports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = WineSession()

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    # --- helpers -----------------------------------------------------------
    def set_user_number(self, text, session=None):
        rc, _, err = (session or self.session).wine("reg", "add", r"HKCU\Software\KV\ORBEN", "/v", "kcno", "/d", text, "/f")
        self.assertEqual(rc, 0, err)

    def install(self, config_text, session=None):
        """One unattended install from Downloads; None config means no .\\config.ini."""
        session = session or self.session
        folder = session.unix(DOWNLOADS)
        if config_text is None and os.path.exists(os.path.join(folder, "config.ini")):
            os.remove(os.path.join(folder, "config.ini"))
        start = time.time()
        p = session.start_installer(args=("admin",), config=config_text)
        rc = p.wait(RUN_LIMIT)
        self.assertEqual(rc, 0, "the install must end with status 0")
        return time.time() - start

    def only_requests(self, http, count):
        """Exactly count requests (the install has ended, so no more are coming)."""
        requests = http.wait_for_requests(count, timeout=5)
        time.sleep(0.3)
        requests = http.requests
        self.assertEqual(len(requests), count, [r.request_line for r in requests])
        return requests

    def check_request(self, request, path, user, source):
        self.assertEqual(request.method, "GET")
        self.assertEqual(request.version, "HTTP/1.1")
        m = URL_RE.match(request.target)
        self.assertIsNotNone(m, request.target)
        self.assertEqual(m.group("path"), path)
        self.assertEqual(m.group("user"), user)
        self.assertEqual(m.group("source"), source)
        self.assertEqual(request.header("User-Agent"), "Microsoft Internet Explorer")
        return m

    def check_install_log(self, log, match, session=None):
        """264 bytes laid out as the log server reads them, carrying the
        installed version and the identity the HTTP report sent."""
        messages = log.wait_for_connections(1, timeout=10)
        self.assertEqual(len(messages), 1)
        data = messages[0]
        self.assertEqual(len(data), 264, describe_install_log(data))
        with open(os.path.join((session or self.session).unix(INSTALL_DIR), "version.data"), "rb") as f:
            version = f.read(32).ljust(32, b"\0")

        def words(*values):
            return struct.pack("<%dI" % len(values), *values)

        def field(text):
            return text.encode("ascii").ljust(32, b"\0")

        expected = (b"qlx2015\0" + words(0, 0, 0, 236, 0)
                    + words(188, 1, 2, 0) + words(0x708, 0, 100000, 0) + words(0x2801, 0, 100001, 0)
                    + words(1, 0, 0x80000000, 0, 1000004, 0, 0)
                    + words(96, 1, 3, 0) + words(0x802, 0, 700000002, 0) + words(0x802, 0, 700000003, 0)
                    + words(0x802, 0, 700000005, 0)
                    + version + field(match.group("ip")) + field(match.group("identity")))
        self.assertEqual(data, expected, describe_install_log(data))
        self.assertEqual(decode_install_log(data)["version"], version)
        return data

    # --- runs --------------------------------------------------------------
    def test_1_retry_after_500_context_path_and_both_reports(self):
        # context path "api", "12ab" gives 12, a source with a space and "&".
        self.set_user_number("12ab")
        with HttpListener(statuses=[500, 200]) as http, TcpListener(port=LOG_PORT) as log:
            self.install(config("127.0.0.1:%d" % http.port, "api", "my src&x"))
            first, second = self.only_requests(http, 2)
            # The installer hands the value over unescaped; WinINet writes the
            # space as %20 on the request line, the "&" stays as it is.
            m = self.check_request(first, "api/", "12", "my%20src&x")
            self.assertEqual(first.request_line, second.request_line)
            self.assertEqual(first.headers, second.headers)
            self.assertEqual(first.header("Host"), "127.0.0.1:%d" % http.port)
            self.check_install_log(log, m)
            type(self).first_request = (http.port, first.request_line)

    def test_2_same_install_again_is_not_cached_and_200_is_not_repeated(self):
        # The very URL of the previous install, which got a 200 then: it must
        # reach the server again (never served from a cache), once.
        self.set_user_number("12ab")
        port, previous = getattr(type(self), "first_request", (0, None))
        with HttpListener(statuses=[200], port=port) as http:
            self.install(config("127.0.0.1:%d" % http.port, "api", "my src&x"))
            (request,) = self.only_requests(http, 1)
            self.check_request(request, "api/", "12", "my%20src&x")
            if previous is not None:
                self.assertEqual(request.request_line, previous)

    def test_3_empty_context_path_and_user_number(self):
        self.set_user_number("345")
        with HttpListener() as http:
            self.install(config("127.0.0.1:%d" % http.port, ""))
            (request,) = self.only_requests(http, 1)
            self.check_request(request, "", "345", "kvpc012")
            self.assertTrue(request.request_line.startswith("GET /client/loggingSetup?clientIdentity="))

    def test_4_no_config_uses_built_in_host_and_refused_log_goes_on(self):
        # No .\config.ini: built-in host, empty context path, "kvpc012".
        # Nothing listens on the log port: the install still completes.
        self.set_user_number("0")
        with HttpListener(port=BUILT_IN_UPDATE_PORT) as http:
            self.install(None)
            (request,) = self.only_requests(http, 1)
            self.check_request(request, "", "", "kvpc012")
            self.assertIn("&kcUserNo=&currentVersion=1.0&", request.request_line)
            self.assertEqual(request.header("Host"), "127.0.0.1:%d" % BUILT_IN_UPDATE_PORT)

    def test_5_empty_user_number(self):
        self.set_user_number("")
        with HttpListener() as http, TcpListener(port=LOG_PORT) as log:
            self.install(config("127.0.0.1:%d" % http.port, source="kvpc099"))
            (request,) = self.only_requests(http, 1)
            m = self.check_request(request, "", "", "kvpc099")
            self.check_install_log(log, m)

    def test_6_update_host_not_listening_does_not_stop_the_install(self):
        self.set_user_number("345")
        with TcpListener(port=LOG_PORT) as log:
            elapsed = self.install(config("127.0.0.1:%d" % closed_port(), "api"))
            self.assertEqual(len(log.wait_for_connections(1, timeout=10)), 1)
        self.assertLess(elapsed, RUN_LIMIT)
        self.assertTrue(os.path.isfile(os.path.join(self.session.unix(INSTALL_DIR), "kvClient.exe")))

    def test_7_same_bytes_on_every_windows_code_page(self):
        # GBK values of .\config.ini go out as the file holds them, whatever
        # the system's ANSI code page: the same request line and log bytes.
        port = closed_port()
        seen = {}
        for code_page in (936, 1252, 950):
            with self.subTest(code_page=code_page):
                session = self.session if code_page == 936 else WineSession(code_page=code_page)
                try:
                    self.set_user_number("345", session)
                    with HttpListener(port=port) as http, TcpListener(port=LOG_PORT) as log:
                        self.install(config("127.0.0.1:%d" % port, "更新", "渠道7"), session)
                        (request,) = self.only_requests(http, 1)
                        m = self.check_request(request, gbk("更新/").decode("latin-1"), "345",
                                               gbk("渠道7").decode("latin-1"))
                        seen[code_page] = (request.raw, self.check_install_log(log, m, session))
                finally:
                    if session is not self.session:
                        session.close()
        self.assertEqual(len(seen), 3)
        self.assertEqual(seen[1252], seen[936])
        self.assertEqual(seen[950], seen[936])


if __name__ == "__main__":
    unittest.main(verbosity=2)
