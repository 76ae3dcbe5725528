"""Fonts for Wine prefixes that stand in for Windows' own Chinese fonts.

Every Windows since Vista, whatever its language, has 微软雅黑 (Microsoft
YaHei) and 宋体 (SimSun); a Chinese system lists their Chinese family names,
any other the English ones, and the system's dialog font falls back on SimSun
for Chinese characters. Wine ships neither. These are made from the WenQuanYi
Micro Hei font (a Debian package this project installs): the first font of its
collection written out as a TrueType file with the wanted names in its name
table, dropped into the prefix's C:\\windows\\Fonts, which Wine scans at start.
"""
import os
import struct

SOURCE_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
YAHEI = "微软雅黑"
SONG = "宋体"
# Chinese name, English name, file.
WINDOWS_CHINESE_FONTS = ((YAHEI, "Microsoft YaHei", "kvtestyahei.ttf"), (SONG, "SimSun", "kvtestsimsun.ttf"))


def _checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def renamed_font(source, family, english=None):
    """The first font of a TrueType file or collection as a TrueType file
    whose family and full names are family in the Chinese records and
    english (or family too) in the English ones."""
    with open(source, "rb") as f:
        blob = f.read()
    start = struct.unpack(">I", blob[12:16])[0] if blob[:4] == b"ttcf" else 0
    version, count = struct.unpack(">IH", blob[start:start + 6])
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", blob[start + 12 + 16 * i:start + 28 + 16 * i])
        tables[tag] = blob[offset:offset + length]
    records, strings = b"", b""
    for lang, name in ((0x0409, english or family), (0x0804, family)):
        text = name.encode("utf-16-be")
        for name_id, value in ((1, text), (2, "Regular".encode("utf-16-be")), (4, text),
                               (6, "KvTestFace".encode("utf-16-be"))):
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


def add_font(session, family, english=None, file_name="kvtestface.ttf"):
    with open(os.path.join(session.drive_c, "windows", "Fonts", file_name), "wb") as f:
        f.write(renamed_font(SOURCE_FONT, family, english))


def add_windows_chinese_fonts(session):
    """微软雅黑 and 宋体 as every Windows has them: before the first program runs."""
    for chinese, english, file_name in WINDOWS_CHINESE_FONTS:
        add_font(session, chinese, english, file_name)
