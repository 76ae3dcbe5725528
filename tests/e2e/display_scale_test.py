"""The installer at 100, 125, 150 and 200 % (Wine gives every program the
prefix's DPI and never stretches a window), and under a visual style: the
window is the 96-dpi one times dpi / 96, the keyboard focus shows on a button
at each scale, the top image and the close
button's face at 200 % are the 2x ones make_skin.py drew, pixel for pixel, and the visual style changes not
one pixel of the skin (the check boxes' squares are the system's own
drawing, not the skin's)."""
import os
import struct
import time
import unittest
import zlib

from kvharness import BUILD, WineSession

SKIN = os.path.join(BUILD, "kv_Install", "res", "skin")
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"
BODY = (45, 45, 45)
THEME_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager"


def scaled(length, dpi):
    return (length * dpi * 2 + 96) // 192


def read_png(name):
    """pixel(x, y) -> channel tuple of a PNG as make_skin.py writes it: 8-bit
    RGB or RGBA, one IDAT chunk after IHDR, every row unfiltered."""
    with open(os.path.join(SKIN, name), "rb") as f:
        data = f.read()
    width, height, _, colour_type = struct.unpack(">IIBB", data[16:26])
    channels, size = {2: 3, 6: 4}[colour_type], struct.unpack(">I", data[33:37])[0]
    raw, stride = zlib.decompress(data[41:41 + size]), 1 + width * channels
    assert data[37:41] == b"IDAT" and all(raw[y * stride] == 0 for y in range(height))
    pixel = lambda x, y: tuple(raw[y * stride + 1 + x * channels:y * stride + 1 + (x + 1) * channels])  # noqa: E731
    pixel.size = (width, height)
    return pixel


def open_wizard(s):
    # Wine's window errors go to the installer's standard error, to tell a
    # desktop that did not start from a fault of ours.
    s.env["WINEDEBUG"] = "err+win"
    p = s.start_installer([], config=CONFIG)
    wid = s.wait_for_wizard(timeout=60)
    if not wid:
        with open(p.stderr_file, "rb") as f:
            said = f.read()[-2000:].decode("utf-8", "replace")
        raise AssertionError("the wizard did not show (installer %s; it said: %s)"
                             % ("running" if p.poll() is None else "ended with %d" % p.returncode, said))
    s._xdo("mousemove", "--window", wid, "300", "120")
    time.sleep(1.5)
    return wid


class DisplayScale(unittest.TestCase):
    def test_each_scale_gives_the_scaled_window_and_at_200_percent_the_2x_pictures(self):
        for dpi in (96, 120, 144, 192):
            with self.subTest(dpi=dpi), WineSession(screen="2560x1600") as s:
                s.set_dpi(dpi)
                wid = open_wizard(s)
                geo = s.window_geometry(wid)
                size = (int(geo["WIDTH"]), int(geo["HEIGHT"]))
                print("%d dpi: %d x %d" % ((dpi,) + size))
                self.assertLessEqual(abs(size[0] - 688 * dpi / 96), 1)
                self.assertLessEqual(abs(size[1] - 367 * dpi / 96), 1)
                caption = scaled(43, dpi)
                pages = [c["rect"] for c in s.controls() if c["depth"] == 1 and c["cls"] == "#32770"]
                self.assertEqual(pages, [(0, caption, size[0], size[1] - caption)])

                # The keyboard focus on "立即安装" (four tabs from the folder
                # box) shows at every scale, and goes without a trace.
                x, y, w, h = [c["rect"] for c in s.controls() if c["cls"] == "Button" and c["id"] == 1][0]
                button = [(x + i, y + j) for j in range(h) for i in range(w)]
                before = s.grab(wid)
                for _ in range(4):
                    s.key(wid, "Tab")
                time.sleep(0.3)
                focused = s.grab(wid)
                differ = sum(1 for xy in button if focused(*xy) != before(*xy))
                print("%d dpi: %d of 立即安装's %d pixels show the focus" % (dpi, differ, len(button)))
                self.assertGreater(differ, w + h)  # a ring all round is about twice that
                s.key(wid, "Tab")
                time.sleep(0.3)
                after = s.grab(wid)
                self.assertEqual([xy for xy in button if after(*xy) != before(*xy)][:5], [])
                if dpi != 192:
                    continue

                px = s.grab(wid)
                top = read_png("top@4.png")
                self.assertEqual(top.size, (1376, 378))
                differ = [(x, y) for y in range(378) for x in range(1376) if px(x, caption + y) != top(x, y)]
                self.assertEqual(differ[:5], [], "top image pixels other than the 2x picture's")
                self.assertEqual(px(5, caption + 378), BODY)

                close = [c["rect"] for c in s.controls() if c["id"] == 1110][0]
                self.assertEqual(close[2:], (44, 44))
                s._xdo("mousemove", "--window", wid, str(close[0] + 22), str(close[1] + 22))
                time.sleep(1)
                px = s.grab(wid)
                hover = read_png("close_hover@4.png")
                differ = [(x, y) for y in range(44) for x in range(44) if px(close[0] + x, close[1] + y) != hover(x, y)]
                self.assertEqual(differ, [], "hover face pixels other than the 2x picture's")

    def test_the_visual_style_changes_no_pixel_of_the_skin(self):
        pictures = {}
        for active in ("1", "0"):
            with WineSession() as s:
                rc, out, _ = s.wine("reg", "query", THEME_KEY, "/v", "ThemeActive")
                if active == "1":
                    # Wine's prefix has its light theme on: check boxes and
                    # statics are drawn themed unless told otherwise.
                    self.assertIn(b"1", out.split(b"ThemeActive")[-1])
                else:
                    s.wine("reg", "add", THEME_KEY, "/v", "ThemeActive", "/d", "0", "/f")
                wid = open_wizard(s)
                px = s.grab(wid)
                boxes = [c["rect"] for c in s.controls() if c["id"] in (1006, 1007)]

                def skin(x, y):
                    # Not the folder box, where the caret blinks, nor the
                    # check boxes' squares.
                    return not (30 <= x < 570 and 43 + 214 <= y < 43 + 249) and not any(
                        b[0] <= x < b[0] + 16 and b[1] <= y < b[1] + b[3] for b in boxes)
                pictures[active] = [px(x, y) for y in range(367) for x in range(688) if skin(x, y)]
                box = boxes[0]
                inside = [px(x, y) for y in range(box[1], box[1] + box[3]) for x in range(box[0], box[0] + box[2])]
                self.assertGreater(sum(1 for p in inside if min(p) > 200), 20, "no white text by the check box")
                self.assertGreater(sum(1 for p in inside if p == BODY), len(inside) // 2, "not on the dark page")
        differ = sum(1 for a, b in zip(pictures["1"], pictures["0"]) if a != b)
        self.assertEqual(differ, 0, "pixels the visual style changed")


if __name__ == "__main__":
    unittest.main()
