#!/usr/bin/env python3
"""Screenshots of the full window of two builds after the same presses, compared pixel by pixel.

Each build's program runs in turn on one Xvfb with its own folder: the full
window, a few keys typed into another program's window, one key held (its cell
in the blink colour), then released. Reports how many pixels differ in each
state (ImageMagick's `compare`); the screenshots stay in OUT_DIR.

Usage: bench/compare_screens.py BUILD_A BUILD_B OUT_DIR
Reports figures; never fails on a difference.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness as e2e  # noqa: E402

STATES = ("held", "up")


def shoot(desktop, binary, out, name):
    tmp = tempfile.mkdtemp(prefix="pressory-screens-")
    other = None
    p = e2e.Program(desktop, tmp, binary).start()
    try:
        e2e.to_full_mode(p)
        other = subprocess.Popen(["xmessage", "-geometry", "+600+600", "another program"], env=desktop.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wid = e2e.wait_for("the other window", lambda: desktop.x(
            "xdotool", "search", "--onlyvisible", "--class", "xmessage", check=False).split())[0]
        desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
        time.sleep(0.5)
        desktop.x("xdotool", "key", "--delay", "30", *(list("asdfasdfqwerty") + ["Return", "BackSpace", "space"] * 3))
        desktop.x("xdotool", "keydown", "j")
        time.sleep(0.8)
        desktop.x("import", "-window", p.wid, os.path.join(out, "%s-held.png" % name))
        desktop.x("xdotool", "keyup", "j")
        time.sleep(0.5)
        desktop.x("import", "-window", p.wid, os.path.join(out, "%s-up.png" % name))
    finally:
        if other:
            other.terminate()
        p.proc.send_signal(signal.SIGTERM)
        p.wait_exit()
        shutil.rmtree(tmp, ignore_errors=True)


def main():
    a, b, out = sys.argv[1:4]
    os.makedirs(out, exist_ok=True)
    desktop = e2e.Desktop()
    try:
        for name, build in (("a", a), ("b", b)):
            shoot(desktop, os.path.abspath(os.path.join(build, "src", "app", "Pressory")), out, name)
    finally:
        desktop.stop()
    for state in STATES:
        r = subprocess.run(["compare", "-metric", "AE", os.path.join(out, "a-%s.png" % state),
                            os.path.join(out, "b-%s.png" % state), "null:"], capture_output=True, text=True)
        print("%s: %s pixels differ" % (state, r.stderr.strip()), flush=True)


if __name__ == "__main__":
    main()
