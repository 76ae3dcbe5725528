"""The theme's two branches: a prefix with a font family named 微软雅黑 gets
that face and the larger heights, one without gets 宋体 and the smaller ones.
A Chinese system (936) lists the family by its Chinese name, an English one
(1252) by its English name, Microsoft YaHei; either is found.

Wine ships no such family; tests/support/fonts.py makes one from the
WenQuanYi Micro Hei font. theme_probe.exe prints what the theme made of the
prefix's fonts.
"""
import os
import unittest

from fonts import SONG, YAHEI, add_font
from kvharness import BUILD, WineSession

PROBE = os.path.join(BUILD, "theme_probe.exe")


def probe(session):
    rc, out, err = session.run(PROBE)
    text = out.decode("gbk", "replace")
    if rc != 0:
        raise AssertionError("theme_probe.exe failed (%d): %s" % (rc, err.decode("gbk", "replace")))
    result = {"fonts": {}, "families": []}
    for line in text.splitlines():
        key, _, rest = line.partition(" ")
        if key == "font":
            n, height, weight, underline, face = rest.split(" ", 4)
            result["fonts"][int(n)] = (int(height), int(weight), int(underline), face)
        elif key == "family":
            result["families"].append(rest)
        else:
            result[key] = rest
    return result


class ThemeBranches(unittest.TestCase):
    def check(self, got, face, heights):
        self.assertEqual(got["face"], face)
        for n, height in heights.items():
            self.assertEqual(got["fonts"][n][0], height, "font %d" % n)
            self.assertEqual(got["fonts"][n][3], face, "font %d" % n)
        # The bold font is 19 pixels at weight 700 with either face.
        self.assertEqual(got["fonts"][7][:2], (19, 700))
        self.assertEqual(got["fonts"][6][1], 1500)

    def test_without_the_preferred_face(self):
        with WineSession() as s:
            got = probe(s)
            self.assertFalse(any(YAHEI in name for name in got["families"]), got["families"])
            self.check(got, SONG, {0: 13, 1: 14, 2: 17, 3: 18, 4: 35, 5: 28, 6: 25})

    def test_with_the_preferred_face_by_either_name(self):
        for locale, face in (("zh_CN.UTF-8", YAHEI), ("en_US.UTF-8", "Microsoft YaHei")):
            with self.subTest(locale=locale), WineSession() as s:
                s.env["LC_ALL"] = locale
                add_font(s, YAHEI, "Microsoft YaHei")
                got = probe(s)
                self.assertIn(face, got["families"])
                self.assertIn("@" + face, got["families"])
                self.check(got, face, {0: 17, 1: 19, 2: 19, 3: 23, 4: 40, 5: 30, 6: 30})
                self.assertIn(got["realized"], (YAHEI, "Microsoft YaHei"))


if __name__ == "__main__":
    unittest.main()
