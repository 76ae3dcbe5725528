"""The installer on three Windows code pages: 936 (Simplified Chinese), 1252
(English and other western systems) and 950 (Traditional Chinese). The same
interactive install of a payload with Chinese names into C:\\游戏\\Kelvane,
typed into the folder box, must give the same texts on the pages, the same
files, shortcuts and Uninstall values, and the same report bytes on each.

One run per code page, all in setUpClass; each test compares one kind of
result across them.
"""
import os
import time
import unittest

import kvharness as h
from listeners import HttpListener, TcpListener
from registration_test import CSIDL_PROGRAMS, LNKINFO, link_info

CODE_PAGES = (936, 1252, 950)
FOLDER = "C:\\游戏\\Kelvane"
CONFIG = "[update]\r\nupdatehost=127.0.0.1:%d\r\n[arp]\r\ncontext_path=更新\r\n[DownLoadSource]\r\nsource=渠道7\r\n"
# Entries of the payload with Chinese names: 说明.txt in GBK without a flag,
# 图片/背景.txt in UTF-8 with general-purpose bit 11.
CHINESE_FILES = {"说明.txt": "说明.txt\r\n", "图片/背景.txt": "图片/背景.txt\r\n"}


def page_texts(session):
    """(class, control ID, text) of the visible controls of the pages."""
    return [(c["cls"].lower(), c["id"], c["text"]) for c in session.controls() if c["depth"] >= 1]


def wait_for_text(session, text, timeout=40):
    return session.wait_for(lambda: any(t == text for _, _, t in page_texts(session)), timeout=timeout, interval=0.5)


def uninstall_values(session):
    """{name: text} of the Uninstall key, exported by reg.exe as UTF-16 (its
    console output would go through the OEM code page)."""
    export = session.unix("C:\\uninstall.reg")
    rc, _, _ = session.wine("reg", "export", h.UNINSTALL_KEY, "C:\\uninstall.reg", "/y")
    if rc != 0:
        return {}
    with open(export, "rb") as f:
        text = f.read().decode("utf-16")
    values = {}
    for line in text.splitlines():
        if line.startswith('"') and '"="' in line:
            name, value = line[1:-1].split('"="', 1)
            values[name] = value.replace("\\\\", "\\")
        elif line.startswith('"') and '"=dword:' in line:
            name, value = line[1:].split('"=dword:', 1)
            values[name] = int(value, 16)
    return values


def link(session, relative):
    info = link_info(session, CSIDL_PROGRAMS, relative)
    return info and {k: v for k, v in info.items() if k != "path"}


def install(code_page, port):
    """Everything one interactive install on code_page shows and leaves."""
    seen = {}
    with h.WineSession(code_page=code_page) as s, HttpListener(port=port) as http, \
            TcpListener(port=h.LOG_PORT) as log:
        s.wine("reg", "add", r"HKCU\Software\KV\ORBEN", "/v", "kcno", "/d", "345", "/f")
        p = s.start_installer([], config=CONFIG % port, exe=h.KVSETUP_CHINESE)
        wid = s.wait_for_wizard()
        if not wid:
            return seen
        time.sleep(1)
        seen["directory page"] = page_texts(s)
        # The Chinese folder entered as an input method enters it, a
        # character at a time.
        s.set_install_folder(wid, "C:\\")
        s.type_unicode(wid, "游戏")
        s.type_text(wid, "\\Kelvane")
        time.sleep(0.5)
        seen["typed folder"] = [t for cls, cid, t in page_texts(s) if cls == "edit"]
        s.click(wid, *h.RUN_CHECKBOX)  # unticked: the finish page shows
        s.click(wid, *h.INSTALL_BUTTON)
        if wait_for_text(s, "正在安装..."):
            seen["progress page"] = page_texts(s)
        if wait_for_text(s, "立即体验"):
            seen["finish page"] = page_texts(s)
        s.click(wid, *h.CLOSE_BUTTON)
        seen["exit status"] = p.wait(30)

        folder = s.unix(FOLDER)
        seen["files"] = {}
        for name in CHINESE_FILES:
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    seen["files"][name] = f.read().decode("gbk")
            else:
                seen["files"][name] = None
        seen["folder listing"] = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
        seen["installed bytes"] = sum(os.path.getsize(os.path.join(root, f)) for root, _, files in os.walk(folder)
                                      for f in files)
        seen["uninstall values"] = uninstall_values(s)
        seen["links"] = {rel: link(s, rel) for rel in ("Kelvane\\Kelvane.lnk", "Kelvane\\卸载.lnk")}
        requests = http.wait_for_requests(1, timeout=5)
        seen["request lines"] = [r.request_line for r in requests]
        seen["log"] = log.wait_for_connections(1, timeout=5)
    return seen


class CodePages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(h.KVSETUP_CHINESE) or not os.path.isfile(LNKINFO):
            raise unittest.SkipTest("kvsetup_chinese.exe or lnkinfo.exe not built")
        with TcpListener() as probe:
            port = probe.port  # one update port for all runs: the same request bytes
        cls.runs = {cp: install(cp, port) for cp in CODE_PAGES}

    def each_run(self, check):
        for code_page in CODE_PAGES:
            with self.subTest(code_page=code_page):
                check(self.runs[code_page])

    def test_936_run_as_expected(self):
        run = self.runs[936]
        self.assertEqual(0, run.get("exit status"))
        texts = [t for _, _, t in run.get("directory page", [])]
        for text in ("安装位置:", "创建桌面图标", "运行软件", "浏览...", "立即安装", "取消"):
            self.assertIn(text, texts)
        self.assertEqual([FOLDER], run.get("typed folder"))
        self.assertIn("progress page", run)
        self.assertIn("finish page", run)

    def test_pages_read_back_as_on_936(self):
        def check(run):
            for page in ("directory page", "typed folder", "progress page", "finish page", "exit status"):
                self.assertEqual(self.runs[936].get(page), run.get(page), page)
        self.each_run(check)

    def test_files_under_their_chinese_names(self):
        def check(run):
            self.assertEqual(CHINESE_FILES, run["files"])
            self.assertIn("说明.txt", run["folder listing"])
            self.assertIn("图片", run["folder listing"])
            self.assertIn("kvClient.exe", run["folder listing"])
        self.each_run(check)

    def test_uninstall_values_and_shortcuts(self):
        uninstaller = FOLDER + "\\kv_Uninstall.exe"
        links = {"Kelvane\\Kelvane.lnk": (FOLDER + "\\kvUpdate.exe", "运行Kelvane"),
                 "Kelvane\\卸载.lnk": (uninstaller, "卸载Kelvane")}
        for code_page in CODE_PAGES:
            run = self.runs[code_page]
            with self.subTest(code_page=code_page):
                text_values = {name: value for name, value in run["uninstall values"].items()
                               if isinstance(value, str) and name not in ("DisplayVersion", "InstallDate")}
                # Every file counts, under whatever name, on every system: a
                # size asked for by the GBK path would find nothing off 936.
                self.assertEqual((run["installed bytes"] + 1023) // 1024, run["uninstall values"].get("EstimatedSize"))
                self.assertEqual({"DisplayName": "Kelvane", "Publisher": "Brevanta", "UninstallString": uninstaller,
                                  "DisplayIcon": uninstaller, "InstallLocation": FOLDER}, text_values)
                for name, (target, description) in links.items():
                    info = dict(run["links"][name] or {})
                    expected = {"target": target, "item": target, "workdir": FOLDER, "description": description,
                                "arguments": ""}
                    # The item the shell starts is right everywhere. Wine also
                    # keeps the path as ANSI text in the file (its own writing,
                    # where Windows adds a Unicode copy): right on 936 only.
                    if code_page != 936:
                        del expected["target"]
                        info.pop("target", None)
                    self.assertEqual(expected, info, name)

    def test_reports_byte_identical(self):
        first = self.runs[936]
        self.assertEqual(1, len(first["request lines"]))
        self.assertIn("/" + h.gbk("更新").decode("latin-1") + "/client/loggingSetup?", first["request lines"][0])
        self.assertEqual(1, len(first["log"]))
        self.assertEqual(264, len(first["log"][0]))
        self.each_run(lambda run: self.assertEqual((first["request lines"], first["log"]),
                                                   (run["request lines"], run["log"])))


if __name__ == "__main__":
    unittest.main(verbosity=2)
