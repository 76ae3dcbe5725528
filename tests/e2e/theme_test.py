"""The theme's two branches: a prefix with a font family named 微软雅黑 gets
that face and the larger heights, one without gets 宋体 and the smaller ones.

Wine ships no such family. The test makes one from the WenQuanYi Micro Hei
font (a Debian package this project installs): the first font of its
collection, written out as a TrueType file whose name table says 微软雅黑,
dropped into the prefix's C:\\windows\\Fonts, which Wine scans at start-up.
theme_probe.exe prints what the theme made of the prefix's fonts.
"""
import os
import struct
import unittest

from kvharness import BUILD, WineSession

PROBE = os.path.join(BUILD, "theme_probe.exe")
SOURCE_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
YAHEI = "微软雅黑"
SONG = "宋体"


def _checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def renamed_font(source, family):
    """The first font of a TrueType file or collection as a TrueType file
    whose family and full names (English and Chinese records) are family."""
    with open(source, "rb") as f:
        blob = f.read()
    start = struct.unpack(">I", blob[12:16])[0] if blob[:4] == b"ttcf" else 0
    version, count = struct.unpack(">IH", blob[start:start + 6])
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", blob[start + 12 + 16 * i:start + 28 + 16 * i])
        tables[tag] = blob[offset:offset + length]
    text = family.encode("utf-16-be")
    names = [(1, text), (2, "Regular".encode("utf-16-be")), (4, text), (6, "KvTestFace".encode("utf-16-be"))]
    records, strings = b"", b""
    for lang in (0x0409, 0x0804):
        for name_id, value in names:
            records += struct.pack(">6H", 3, 1, lang, name_id, len(value), len(strings))
            strings += value
    tables[b"name"] = struct.pack(">3H", 0, len(records) // 12, 6 + len(records)) + records + strings
    tags = sorted(tables)
    n = len(tags)
    entry = 1 << (n.bit_length() - 1)
    out = struct.pack(">IHHHH", version, n, entry * 16, entry.bit_length() - 1, n * 16 - entry * 16)
    offset = 12 + 16 * n
    body = b""
    for tag in tags:
        data = tables[tag]
        out += struct.pack(">4sIII", tag, _checksum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    return out + body


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

    def test_with_a_family_named_like_the_preferred_face(self):
        with WineSession() as s:
            with open(os.path.join(s.drive_c, "windows", "Fonts", "kvtestyahei.ttf"), "wb") as f:
                f.write(renamed_font(SOURCE_FONT, YAHEI))
            got = probe(s)
            self.assertIn(YAHEI, got["families"])
            self.assertIn("@" + YAHEI, got["families"])
            self.check(got, YAHEI, {0: 17, 1: 19, 2: 19, 3: 23, 4: 40, 5: 30, 6: 30})
            self.assertEqual(got["realized"], YAHEI)


if __name__ == "__main__":
    unittest.main()
