"""The wizard as a person meets it: how each page looks (pixels read from the
screen, control places from wintext.exe), dragging, the system menu, the
keyboard, folders the directory page refuses, and the same page on an English
system (code page 1252)."""
import os
import re
import time
import unittest

from fonts import add_windows_chinese_fonts
from kvharness import (CLOSE_BUTTON, FOLDER_EDIT, INSTALL_BUTTON, INSTALL_DIR, RUN_CHECKBOX, WineSession)

# Reports go to closed loopback ports: they fail at once and change nothing.
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"

CAPTION = (36, 36, 36)
BODY = (45, 45, 45)
BLUE = (65, 125, 253)
GREY = (119, 119, 119)
RED = (231, 39, 39)
WHITE = (255, 255, 255)


def near(colour, expected, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


def type_folder(s, wid, folder):
    """Replaces the folder box's text; what is not ASCII goes in as an input
    method enters it."""
    s.set_install_folder(wid, "")
    for run in re.findall(r"[\x00-\x7f]+|[^\x00-\x7f]+", folder):
        if run.isascii():
            s.type_text(wid, run)
        else:
            s.type_unicode(wid, run)


class Wizard(unittest.TestCase):
    def start(self, s, name="kvsetup.exe", timeout=30):
        p = s.start_installer([], config=CONFIG, name=name)
        wid = s.wait_for_wizard(timeout)
        self.assertTrue(wid, "the wizard did not show")
        time.sleep(1)  # first paint
        return p, wid

    def control(self, s, cls, text=None, cid=None):
        for c in s.controls():
            if c["cls"].lower() == cls.lower() and (text is None or c["text"] == text) and (cid is None or c["id"] == cid):
                return c
        self.fail("no visible %s %r" % (cls, text if text is not None else cid))

    def wait_for_page(self, s, cls, text, timeout=40):
        found = s.wait_for(lambda: [c for c in s.controls() if c["cls"].lower() == cls.lower() and c["text"] == text],
                           timeout=timeout, interval=0.5)
        self.assertTrue(found, "the page with %r did not show" % text)

    def notice_now(self, s):
        """The installer's visible message boxes: captioned with its file name."""
        title = "^%s$" % os.path.splitext(s.installer_name)[0].replace(".", "\\.")
        return s.xdotool("search", "--onlyvisible", "--name", title)

    def message(self, s):
        """The text of the installer's message box (its one static control)."""
        return " ".join(c["text"] for c in s.controls() if c["cls"].lower() == "static" and c["depth"] == 1)

    def notice(self, s):
        return s.wait_for(lambda: self.notice_now(s), timeout=20)

    def notice_gone(self, s):
        return s.wait_for(lambda: not self.notice_now(s), 10)

    def assertNothingInstalled(self, s):
        self.assertFalse(os.path.exists(s.unix(INSTALL_DIR)), "something was installed")

    def test_directory_page_as_drawn(self):
        with WineSession() as s:
            p, wid = self.start(s)
            geo = s.window_geometry(wid)
            self.assertEqual((geo["WIDTH"], geo["HEIGHT"]), ("688", "367"))
            px = s.grab(wid)
            self.assertEqual(px(300, 3), CAPTION)
            self.assertEqual(px(10, 360), BODY)
            self.assertEqual(px(680, 240), BODY)
            # The product name, about 20 px from the left in the band.
            name = [x for x in range(0, 200) for y in range(8, 36) if near(px(x, y), (122, 124, 136), 6)]
            self.assertTrue(name, "no product name in the caption band")
            self.assertTrue(19 <= min(name) <= 24, min(name))

            # Control places, from the windows themselves.
            self.assertEqual(self.control(s, "Button", cid=1110)["rect"], (653, 10, 22, 22))
            self.assertEqual(self.control(s, "Edit", cid=1000)["rect"], (30, 43 + 214, 540, 35))
            self.assertEqual(self.control(s, "Button", "浏览...")["rect"], (570, 43 + 214, 88, 35))
            self.assertEqual(self.control(s, "Button", "立即安装")["rect"], (448, 43 + 269, 100, 35))
            self.assertEqual(self.control(s, "Button", "取消")["rect"], (558, 43 + 269, 100, 35))

            # Fills: rounded install and cancel buttons, a square browse button.
            self.assertEqual(px(452, 43 + 272), BLUE)
            self.assertEqual(px(562, 43 + 272), GREY)
            self.assertEqual(px(572, 43 + 216), BLUE)
            self.assertEqual(px(570, 43 + 214), BLUE, "the browse button has square corners")
            self.assertNotEqual(px(448, 43 + 269), BLUE, "the install button has rounded corners")
            self.assertNotEqual(px(558, 43 + 269), GREY, "the cancel button has rounded corners")

            # The folder text sits in the middle of the white 35-px box.
            self.assertEqual(px(32, 43 + 215), WHITE)
            self.assertEqual(px(32, 43 + 247), WHITE)
            ink = [y for y in range(43 + 214, 43 + 249) if any(px(x, y)[0] < 128 for x in range(34, 200))]
            self.assertTrue(ink, "no folder text in the box")
            above, below = ink[0] - (43 + 214), (43 + 248) - ink[-1]
            self.assertLessEqual(abs(above - below), 3, (above, below))

            # The close button: grey cross, red face while the mouse rests on it.
            cx, cy = CLOSE_BUTTON
            self.assertEqual(px(655, 12), CAPTION)
            s._xdo("mousemove", "--window", wid, str(cx), str(cy))
            time.sleep(0.7)
            self.assertEqual(s.grab(wid)(655, 12), RED)
            s._xdo("mousemove", "--window", wid, "300", "200")
            time.sleep(0.7)
            self.assertEqual(s.grab(wid)(655, 12), CAPTION)

            # Dragging the caption band moves the window; dragging a page does not.
            def drag(x, y):
                before = s.window_geometry(wid)
                s._xdo("mousemove", "--window", wid, str(x), str(y), "mousedown", "1")
                s._xdo("mousemove_relative", "--sync", "40", "30")
                time.sleep(0.3)
                s._xdo("mousemove_relative", "--sync", "20", "10")
                time.sleep(0.3)
                s._xdo("mouseup", "1")
                time.sleep(0.5)
                after = s.window_geometry(wid)
                return int(after["X"]) - int(before["X"]), int(after["Y"]) - int(before["Y"])
            self.assertEqual(drag(300, 20), (60, 40))
            self.assertEqual(drag(300, 200), (0, 0))

            # The system menu from the keyboard, and its about box.
            # (Wine adds an "About Wine" item of its own; ours is the last.)
            s.key(wid, "alt+space")
            time.sleep(0.7)
            s.key(wid, "Up")
            s.key(wid, "Return")
            about = s.wait_for(lambda: s.xdotool("search", "--onlyvisible", "--name", "^About kv_Install$"), timeout=10)
            self.assertTrue(about, "no about box from the system menu")
            s.key(about[0], "Return")
            self.assertTrue(s.wait_for(lambda: not s.xdotool("search", "--onlyvisible", "--name", "^About kv_Install$"), 10))

            # Esc on the directory page ends the installer; nothing is written.
            s.key(wid, "Escape")
            self.assertEqual(p.wait(20), 0)
            self.assertNothingInstalled(s)

    def names(self, s):
        """{(class, control ID): accessible name} of what a person can reach:
        the visible page's buttons, boxes and bar, and the close button."""
        return {(r["cls"], r["id"]): r["name"] for r in s.accessible()
                if r["depth"] >= 1 and r["cls"] in ("Button", "Edit", "msctls_progress32")}

    def test_keyboard_only_install_to_the_finish_page(self):
        with WineSession() as s:
            p, wid = self.start(s)
            # The folder box has the focus; three tabs reach "运行软件", and
            # Enter there presses the default button, "立即安装".
            for key in ("Tab", "Tab", "Tab", "space", "Return"):
                s.key(wid, key)
            self.wait_for_page(s, "Static", "正在安装...")
            # Each new page takes the focus, so a screen reader reads it.
            self.assertEqual(self.names(s), {("msctls_progress32", 1002): "正在安装...", ("Button", 1110): "关闭"})
            self.assertEqual(s.focused_name(), "正在安装...")
            bar = self.control(s, "msctls_progress32")
            self.assertEqual((bar["rect"][0], bar["rect"][2], bar["rect"][3]), (20, 648, 10))
            # Esc and Alt+F4 on the progress page only ask to wait.
            for keys in ("Escape", "alt+F4"):
                s.key(wid, keys)
                box = self.notice(s)
                self.assertTrue(box, "no notice for %s during the install" % keys)
                s.key(box[0], "Return")
                self.notice_gone(s)
            self.wait_for_page(s, "Button", "立即体验")
            self.assertIsNone(p.poll())
            self.assertEqual(self.names(s), {("Button", 1): "立即体验", ("Button", 1110): "关闭"})
            self.assertEqual(s.focused_name(), "立即体验")
            self.assertEqual(self.control(s, "Button", "立即体验")["rect"], (563, 43 + 254, 100, 35))
            self.assertEqual(s.grab(wid)(563, 43 + 254), BLUE, "the finish button has square corners")
            self.assertEqual(s.updater_starts(), [])
            s.key(wid, "Return")
            self.assertEqual(p.wait(30), 0)
            starts = s.wait_for(s.updater_starts, timeout=20)
            self.assertTrue(starts, "Enter on the finish page did not start kvUpdate.exe")
            self.assertEqual(starts[0][0], INSTALL_DIR)

    def test_every_control_is_named_and_tab_reaches_each_in_reading_order(self):
        with WineSession() as s:
            p, wid = self.start(s)
            self.assertEqual(self.names(s), {
                ("Edit", 1000): "安装位置:", ("Button", 1001): "浏览...", ("Button", 1006): "创建桌面图标",
                ("Button", 1007): "运行软件", ("Button", 1): "立即安装", ("Button", 2): "取消", ("Button", 1110): "关闭"})
            self.assertEqual(s.focused_name(), "安装位置:")
            before = s.grab(wid)
            close = [(x, y) for x in range(653, 675) for y in range(10, 32)]
            order = []
            for _ in range(7):
                s.key(wid, "Tab")
                order.append(s.focused_name())
                if order[-1] == "关闭":
                    # The close button shows the focus too, and takes it
                    # away with no trace once Tab moves on.
                    px = s.grab(wid)
                    self.assertGreater(sum(1 for xy in close if px(*xy) != before(*xy)), 20)
            self.assertEqual(order, ["浏览...", "创建桌面图标", "运行软件", "立即安装", "取消", "关闭", "安装位置:"])
            px = s.grab(wid)
            self.assertEqual([xy for xy in close if px(*xy) != before(*xy)], [])
            s.key(wid, "shift+Tab")
            self.assertEqual(s.focused_name(), "关闭")
            s.key(wid, "Tab")
            s.key(wid, "Tab")
            self.assertEqual(s.focused_name(), "浏览...")

            # Enter presses the focused button: the folder picker, which Esc
            # closes with the folder as it was.
            s.key(wid, "Return")
            picker = s.wait_for(lambda: [w for w in s.visible_windows() if w != wid], timeout=20)
            self.assertTrue(picker, "Enter on 浏览... opened no folder picker")
            self.assertIn("请选择目录", [c["text"] for c in s.controls() if c["cls"].lower() == "static"])
            s.key(picker[0], "Escape")
            self.assertTrue(s.wait_for(lambda: len(s.visible_windows()) == 1, timeout=10), "the picker stayed")
            self.assertEqual(self.control(s, "Edit", cid=1000)["text"], INSTALL_DIR + "\\")
            self.assertIsNone(p.poll())
            s.key(wid, "Escape")
            self.assertEqual(p.wait(20), 0)
            self.assertNothingInstalled(s)

    def test_alt_f4_on_the_finish_page_starts_nothing(self):
        with WineSession() as s:
            p, wid = self.start(s)
            s.click(wid, *RUN_CHECKBOX)
            s.click(wid, *INSTALL_BUTTON)
            self.wait_for_page(s, "Button", "立即体验")
            s.key(wid, "alt+F4")
            self.assertEqual(p.wait(20), 0)
            time.sleep(1)
            self.assertEqual(s.updater_starts(), [])

    def test_folders_that_cannot_be_installed_into_are_refused(self):
        # Started under another name: the message boxes take the program's
        # file name, without extension, for their caption.
        with WineSession() as s:
            p, wid = self.start(s, name="Kelvane-2.1-setup.exe")
            before = sorted(os.listdir(s.drive_c))
            # Korean 한 is a character GBK cannot hold: the box shows it, and
            # reads back from wintext as <U+D55C>.
            for folder, why in (("", "请选择安装位置"), ("Kelvane", "完整路径"), ("C:\\" + "a" * 247, "太长"),
                                ("D:\\con\\Kelvane", "保留的名称"), ("C:\\a:b", "冒号"),
                                ("C:\\한\\Kelvane", "无法使用的文字")):
                type_folder(s, wid, folder)
                s.click(wid, *INSTALL_BUTTON)
                box = self.notice(s)
                self.assertTrue(box, "no message for %r" % folder)
                self.assertIn(why, self.message(s), folder)
                s.key(box[0], "Return")
                self.assertTrue(self.notice_gone(s))
                self.assertIsNone(p.poll(), folder)
                self.assertEqual(self.control(s, "Edit", cid=1000)["text"], folder.replace("한", "<U+D55C>"))
            self.assertEqual(sorted(os.listdir(s.drive_c)), before, "a refused folder wrote something")
            self.assertEqual(sorted(os.listdir(s.unix(r"C:\users\admin\Downloads"))), ["Kelvane-2.1-setup.exe", "config.ini"])
            s.click(wid, *CLOSE_BUTTON)
            self.assertEqual(p.wait(20), 0)

    def test_typed_chinese_folder_is_installed_into(self):
        with WineSession() as s:
            p, wid = self.start(s)
            type_folder(s, wid, "C:\\游戏\\Kelvane")
            self.assertEqual(self.control(s, "Edit", cid=1000)["text"], "C:\\游戏\\Kelvane")
            s.click(wid, *RUN_CHECKBOX)
            s.click(wid, *INSTALL_BUTTON)
            self.wait_for_page(s, "Button", "立即体验")
            self.assertTrue(os.path.isfile(os.path.join(s.drive_c, "游戏", "Kelvane", "kvClient.exe")))
            s.click(wid, *CLOSE_BUTTON)
            self.assertEqual(p.wait(20), 0)

    def test_directory_page_reads_and_looks_on_an_english_system_as_on_a_chinese_one(self):
        # Both prefixes have the two Chinese fonts every Windows has. The
        # texts read back from the controls as UTF-16, every pixel of the
        # page but the folder box's (where the caret blinks), and the message
        # that refuses a folder GBK cannot name are the same on 1252 as on 936.
        pages = {}
        for locale in ("zh_CN.UTF-8", "en_US.UTF-8"):
            with WineSession() as s:
                s.env["LC_ALL"] = locale
                add_windows_chinese_fonts(s)
                # Wine's first start in a prefix with new fonts, or on another
                # code page, takes longer.
                p, wid = self.start(s, timeout=90)
                s._xdo("mousemove", "--window", wid, "300", "120")
                time.sleep(0.5)
                px = s.grab(wid)
                texts = [(c["cls"], c["id"], c["text"]) for c in s.controls()]
                pixels = [px(x, y) for y in range(367) for x in range(688)
                          if not (30 <= x < 570 and 43 + 214 <= y < 43 + 249)]
                type_folder(s, wid, "C:\\한\\Kelvane")
                s.click(wid, *INSTALL_BUTTON)
                box = self.notice(s)
                self.assertTrue(box, "no message on %s" % locale)
                pages[locale] = (texts, pixels, self.message(s))
                s.key(box[0], "Return")
                self.notice_gone(s)
                s.key(wid, "Escape")
                self.assertEqual(p.wait(20), 0)
        chinese, english = pages["zh_CN.UTF-8"], pages["en_US.UTF-8"]
        self.assertIn(("Button", 1, "立即安装"), chinese[0])
        self.assertEqual(english[0], chinese[0])
        differ = sum(1 for a, b in zip(chinese[1], english[1]) if a != b)
        self.assertEqual(differ, 0, "pixels that differ from the page on 936")
        self.assertIn("安装位置含有无法使用的文字", chinese[2])
        self.assertEqual(english[2], chinese[2])


if __name__ == "__main__":
    unittest.main(verbosity=2)
