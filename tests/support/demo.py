#!/usr/bin/env python3
"""./kv run: installs the sample payload with the freshly built kvsetup.exe
into a demo Wine prefix, with both report listeners on loopback, and tells
what happened.

With a display ($DISPLAY set) the wizard is shown and waits for you; without
one the unattended run (`kvsetup.exe admin`) installs under a virtual display.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from kvharness import BUILD, DOWNLOADS, INSTALL_DIR, LOG_PORT, ROOT, UNINSTALL_KEY, WINREADY, WineSession  # noqa: E402
from listeners import HttpListener, TcpListener  # noqa: E402
from packdecode import describe_install_log  # noqa: E402

EXIT_MEANING = {0: "installed", 1: "the user declined to end the running client", 2: "the payload failed"}


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--unattended", action="store_true", help="install without the wizard even with a display")
    args = ap.parse_args()
    interactive = bool(os.environ.get("DISPLAY")) and not args.unattended

    demo = os.path.join(ROOT, "build", "demo")
    print("== making a fresh Wine prefix in %s" % demo, flush=True)
    made = subprocess.run([os.path.join(ROOT, "tests", "support", "make-prefixes"), demo, WINREADY], check=True,
                          stdout=subprocess.PIPE, text=True).stdout
    print("== " + made.strip().splitlines()[-1], flush=True)

    with HttpListener(statuses=[200]) as http, TcpListener(port=LOG_PORT) as log, \
            WineSession(template=os.path.join(demo, "template"), own_display=not interactive) as s:
        config = "[update]\r\nupdatehost=127.0.0.1:%d\r\n[arp]\r\ncontext_path=api\r\n" \
                 "[DownLoadSource]\r\nsource=kvpc012\r\n" % http.port
        how = "the wizard (waiting for you)" if interactive else "kvsetup.exe admin (unattended)"
        print("== starting %s from %s" % (how, DOWNLOADS), flush=True)
        print("   %s" % os.path.join(BUILD, "kvsetup.exe"), flush=True)
        print("   reports: HTTP to 127.0.0.1:%d, TCP install log to 127.0.0.1:%d" % (http.port, LOG_PORT), flush=True)
        start = time.time()
        p = s.start_installer([] if interactive else ["admin"], config=config)
        rc = p.wait(None if interactive else 120)
        print("== kvsetup.exe ended after %.1f s with exit status %d (%s)"
              % (time.time() - start, rc, EXIT_MEANING.get(rc, "?")))

        target = s.unix(INSTALL_DIR)
        files = dirs = 0
        for _, dnames, fnames in os.walk(target):
            dirs += len(dnames)
            files += len(fnames)
        print("== %s: %d files in %d folders" % (INSTALL_DIR, files, dirs))
        for name in sorted(os.listdir(target)) if os.path.isdir(target) else []:
            print("   %s%s" % (name, "\\" if os.path.isdir(os.path.join(target, name)) else ""))

        print("== reg query %s" % UNINSTALL_KEY)
        _, out, _ = s.wine("reg", "query", UNINSTALL_KEY)
        for line in out.decode("gbk", "replace").splitlines():
            if line.startswith("    "):
                print("   " + line.strip())
        installed = sum(os.path.getsize(os.path.join(root, f)) for root, _, fnames in os.walk(target) for f in fnames)
        print("   (the installed files: %d bytes = %.1f KiB)" % (installed, installed / 1024))

        print("== shortcuts")
        users = os.path.join(s.drive_c, "users")
        for root, _, fnames in os.walk(users):
            for f in fnames:
                if f.endswith(".lnk"):
                    print("   " + os.path.relpath(os.path.join(root, f), s.drive_c))

        print("== HTTP setup report")
        for r in http.wait_for_requests(1, timeout=5):
            print("   " + r.request_line)
            print("   User-Agent: %s" % r.header("User-Agent"))
        print("== TCP install log")
        for data in log.wait_for_connections(1, timeout=5):
            print(describe_install_log(data))
        started = os.path.join(target, "kvUpdate.started.txt")
        print("== kvUpdate.exe %s" % ("was started" if os.path.exists(started) else "was not started"))
    return 0 if rc == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
