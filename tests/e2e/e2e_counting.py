#!/usr/bin/env python3
"""End-to-end tests. Counting: every fast press, and the key source of a Wayland session."""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import *  # noqa: E402,F401,F403


def test_wayland_session_without_input_devices_counts_through_x11_and_says_so(ctx):
    import glob
    if any(os.access(e, os.R_OK) for e in glob.glob("/dev/input/event*")):
        raise Skip("the input devices can be read here: a Wayland session would use them")
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary)
    env = dict(d.env, WAYLAND_DISPLAY="wayland-0", XDG_SESSION_TYPE="wayland")
    p.start(env=env)
    try:
        # Told once, at start: a box (a dialog; its caption is "Pressory" too) beside the window.
        def dialogs():
            return [w for w in p.windows_of(p.proc.pid)
                    if "DIALOG" in d.x("xprop", "-id", w, "_NET_WM_WINDOW_TYPE", check=False)]
        box = wait_for("the notice", lambda: (dialogs() or [None])[0])
        answer_box(p, box)
        wait_for("the notice closed", lambda: box not in p.windows_of(p.proc.pid))
        p.wid = wait_for("the main window", p.find_main_window)
        d.x("xdotool", "key", "--delay", "20", "w", "w")
        time.sleep(0.3)
        assert p.windows_of(p.proc.pid) == [p.wid], "no second notice"
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    finally:
        p.kill()
    _, rows = read_history(p.history_path)
    check_record(rows[1], {87: 2})   # counted through X11
    # The next start in the same situation tells nothing.
    with running(ctx, folder, start_env=env) as again:
        no_box(again, 1.5)


def test_soak_every_fast_press_is_counted(ctx):
    """10 000 presses over 36 keys at the fastest rate: every one is in the record.
    Every tenth comes with Shift, and every 50th with both Shift keys, whose
    pair counts once: the compact window, which is not woken by releases,
    takes them through its switch to releases and back."""
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary).start()
    want = {}
    sent = []
    shifts = 0
    for i in range(10000):
        keysym, vk = FAST_KEYS[(i * 7 + i // 36) % len(FAST_KEYS)]
        if i % 50 == 0:
            keysym = "Shift_L+Shift_R+" + keysym
            shifts += 1
        elif i % 10 == 0:
            keysym = ("Shift_R+" if i % 20 else "Shift_L+") + keysym
            shifts += 1
        sent.append(keysym)
        want[vk] = want.get(vk, 0) + 1
    want[16] = shifts
    try:
        t = time.monotonic()
        press_fast(d, sent)
        ctx.figures["soak: 10 000 presses sent in (s)"] = round(time.monotonic() - t, 2)
        time.sleep(0.5)
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    finally:
        p.kill()
    _, rows = read_history(p.history_path)
    counts, total = check_record(rows[1], want)
    assert total == 10000 + shifts, "total %d of %d presses" % (total, 10000 + shifts)


def test_window_switches_during_fast_typing_lose_or_double_no_press(ctx):
    """The window switches between compact and full eight times while 5 000
    presses arrive at the fastest rate: the source moves between its
    connections meanwhile, and every press is counted once."""
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary).start()
    want, sent = {}, []
    for i in range(5000):
        keysym, vk = FAST_KEYS[(i * 11 + i // 36) % len(FAST_KEYS)]
        sent.append(keysym)
        want[vk] = want.get(vk, 0) + 1
    clicks = 0
    try:
        for c in range(0, len(sent), 625):
            typing = subprocess.Popen(["xdotool", "key", "--delay", "0"] + sent[c:c + 625], env=d.env)
            time.sleep(0.1)
            p.click_resize_button()  # a press of the left button as well
            clicks += 1
            typing.wait()
        time.sleep(0.5)
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    finally:
        p.kill()
    want[1] = clicks
    _, rows = read_history(p.history_path)
    counts, total = check_record(rows[1], want)
    assert total == len(sent) + clicks, "total %d of %d presses" % (total, len(sent) + clicks)


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
