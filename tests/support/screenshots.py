#!/usr/bin/env python3
"""./kv screenshots: pictures of the real kvsetup.exe under Wine, one per
page, written to docs/screenshots/ (the README shows them).

  directory.png    the directory page as it opens
  close-hover.png  the same with the mouse resting on the close button
  progress.png     the progress page during the install
  finish.png       the finish page ("运行软件" unticked)
  failure.png      the finish page of an install whose payload failed
  directory-1252.png  the directory page on an English system (code page
                   1252), with the two Chinese fonts every Windows has
  directory-focus.png  the directory page with the keyboard focus on 立即安装
  directory-contrast.png  the same in a high-contrast theme (Windows' High
                   Contrast Black colours)
  directory-150.png, progress-150.png, finish-150.png
                   the three pages at 150 % (144 dpi)
  directory-200.png, progress-200.png, finish-200.png
                   and at 200 % (192 dpi), on a 2560 x 1600 screen
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from fonts import add_windows_chinese_fonts  # noqa: E402
from kvharness import (BUILD, CLOSE_BUTTON, INSTALL_BUTTON, KVSETUP, KVSETUP_BADPAYLOAD, KVSETUP_CONTRAST, ROOT,  # noqa: E402
                       RUN_CHECKBOX, WINREADY, WineSession)

OUT = os.path.join(ROOT, "docs", "screenshots")
CONFIG = "[update]\r\nupdatehost=127.0.0.1:1\r\n"


def snap(session, wid, name):
    geo = session.window_geometry(wid)
    path = os.path.join(OUT, name)
    # No time chunks, no comments: the same picture gives the same file.
    subprocess.run(["import", "-window", "root", "-crop", "%sx%s+%s+%s" % (geo["WIDTH"], geo["HEIGHT"], geo["X"], geo["Y"]),
                    "+repage", "-strip", "-define", "png:exclude-chunks=date,time", path],
                   env=session.env, check=True)
    print("   %s" % os.path.relpath(path, ROOT), flush=True)


def wizard(session, exe):
    session.start_installer([], config=CONFIG, exe=exe)
    wid = session.wait_for_wizard()
    if not wid:
        sys.exit("the wizard did not show")
    time.sleep(1.5)
    # Park the mouse away from every control.
    session._xdo("mousemove", "--window", wid, "300", "120")
    time.sleep(0.5)
    return wid


# Windows' High Contrast Black scheme, as HKCU\Control Panel\Colors keeps it.
HIGH_CONTRAST_BLACK = {"Window": "0 0 0", "WindowText": "255 255 255", "ButtonFace": "0 0 0",
                       "ButtonText": "255 255 255", "Hilight": "26 235 255", "HilightText": "0 0 0",
                       "GrayText": "63 242 63", "HotTrackingColor": "255 255 0"}


def focus_on_install(session, wid):
    """Four tabs from the folder box: 浏览..., the two boxes, 立即安装."""
    for _ in range(4):
        session.key(wid, "Tab")
    time.sleep(0.5)


def scaled(point, dpi):
    """A 96-dpi client point at dpi, as the installer scales its layout."""
    return tuple((v * dpi * 2 + 96) // 192 for v in point)


def scaled_pages(template, dpi):
    percent = dpi * 100 // 96
    with WineSession(template=template, screen="2560x1600") as s:
        s.set_dpi(dpi)
        wid = wizard(s, KVSETUP)
        snap(s, wid, "directory-%d.png" % percent)
        s.click(wid, *scaled(RUN_CHECKBOX, dpi))
        s.click(wid, *scaled(INSTALL_BUTTON, dpi))
        s._xdo("mousemove", "--window", wid, "300", "120")
        time.sleep(2.6)  # two ticks: the bar stands at half
        snap(s, wid, "progress-%d.png" % percent)
        s.wait_for(lambda: [c for c in s.controls() if c["text"] == "立即体验"], timeout=30, interval=0.5)
        time.sleep(0.5)
        snap(s, wid, "finish-%d.png" % percent)


def main():
    template = os.path.join(BUILD, "wine", "template")
    if not os.path.isfile(os.path.join(template, "system.reg")):
        subprocess.run([os.path.join(ROOT, "tests", "support", "make-prefixes"), os.path.join(BUILD, "wine"), WINREADY],
                       check=True, stdout=subprocess.DEVNULL)
    os.makedirs(OUT, exist_ok=True)
    print("== screenshots of %s" % os.path.relpath(KVSETUP, ROOT), flush=True)
    with WineSession(template=template) as s:
        wid = wizard(s, KVSETUP)
        snap(s, wid, "directory.png")
        s._xdo("mousemove", "--window", wid, *map(str, CLOSE_BUTTON))
        time.sleep(0.8)
        snap(s, wid, "close-hover.png")
        s._xdo("mousemove", "--window", wid, "300", "120")
        s.click(wid, *RUN_CHECKBOX)
        s.click(wid, *INSTALL_BUTTON)
        s._xdo("mousemove", "--window", wid, "300", "120")
        time.sleep(2.6)  # two ticks: the bar stands at half
        snap(s, wid, "progress.png")
        s.wait_for(lambda: [c for c in s.controls() if c["text"] == "立即体验"], timeout=30, interval=0.5)
        time.sleep(0.5)
        snap(s, wid, "finish.png")
    with WineSession(template=template) as s:
        wid = wizard(s, KVSETUP_BADPAYLOAD)
        s.click(wid, *INSTALL_BUTTON)
        s._xdo("mousemove", "--window", wid, "300", "120")
        s.wait_for(lambda: [c for c in s.controls() if c["text"] == "安装失败!"], timeout=30, interval=0.5)
        time.sleep(0.5)
        snap(s, wid, "failure.png")
    with WineSession(template=template) as s:
        wid = wizard(s, KVSETUP)
        focus_on_install(s, wid)
        snap(s, wid, "directory-focus.png")
    with WineSession(template=template) as s:
        for name, colour in HIGH_CONTRAST_BLACK.items():
            s.wine("reg", "add", r"HKCU\Control Panel\Colors", "/v", name, "/d", colour, "/f")
        wid = wizard(s, KVSETUP_CONTRAST)
        focus_on_install(s, wid)
        snap(s, wid, "directory-contrast.png")
    with WineSession(template=template) as s:
        s.env["LC_ALL"] = "en_US.UTF-8"  # ANSI code page 1252
        add_windows_chinese_fonts(s)
        wid = wizard(s, KVSETUP)
        snap(s, wid, "directory-1252.png")
    for dpi in (144, 192):
        scaled_pages(template, dpi)


if __name__ == "__main__":
    main()
