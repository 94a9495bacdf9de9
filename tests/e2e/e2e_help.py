#!/usr/bin/env python3
"""End-to-end tests. Help: the readme through the desktop and the version window."""
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


def test_readme_goes_to_the_desktops_url_handler(ctx):
    d, folder = ctx.desktop, ctx.folder()
    shutil.copytree(os.path.join(os.path.dirname(ctx.binary), "Help"), os.path.join(folder, "Help"))
    tools = tempfile.mkdtemp(dir=ctx.tmp)
    record = os.path.join(tools, "opened.txt")
    with open(os.path.join(tools, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' % record)
    os.chmod(os.path.join(tools, "xdg-open"), 0o755)
    env = dict(d.env, PATH=tools + os.pathsep + d.env.get("PATH", ""))
    for var in ("BROWSER", "DEFAULT_BROWSER"):
        env.pop(var, None)

    with running(ctx, folder, start_env=env) as p:
        to_full_mode(p)
        menu_command(p, "h", "h")
        wait_for("the URL handler", lambda: os.path.exists(record) and open(record).read().endswith("\n"))
        menu_command(p, "h", "h")
        wait_for("the second request", lambda: len(open(record).read().splitlines()) == 2)
        url = "file://" + folder + "/Help/Readme.html"
        assert open(record).read().splitlines() == [url, url], open(record).read()
        assert os.path.isfile(folder + "/Help/Readme.html")
        assert p.proc.poll() is None
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0

    # No handler at all: the failure is told in a box, and the program goes on.
    empty = tempfile.mkdtemp(dir=ctx.tmp)
    env["PATH"] = empty
    with running(ctx, folder, start_env=env) as p:
        to_full_mode(p)
        menu_command(p, "h", "h")
        box = find_box(p, p.proc.pid)
        assert "Pressory" in d.x("xprop", "-id", box, "WM_NAME")
        os.makedirs(ctx.artefacts, exist_ok=True)
        d.x("import", "-window", "root", os.path.join(ctx.artefacts, "readme-failed.png"))
        answer_box(p, box)
        wait_for("the box answered", lambda: find_box_gone(p))
        assert p.proc.poll() is None
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0


def test_version_window(ctx):
    d, folder = ctx.desktop, ctx.folder()
    # A private session bus with the accessibility bus, to read the window's texts.
    with AccessibilityBus(ctx, d.env) as env:
        with running(ctx, folder, start_env=env) as p:
            to_full_mode(p)
            for close_key in ("Escape", "Return"):
                menu_command(p, "h", "a")
                about = wait_for("the version window", lambda: window_named(d, p.proc.pid, "バージョン情報"))
                time.sleep(0.4)
                info = d.x("xwininfo", "-id", about)
                w = int(re.search(r"Width:\s+(\d+)", info).group(1))
                h = int(re.search(r"Height:\s+(\d+)", info).group(1))
                assert (w, h) == (300, 168), "client 4500 x 2520 twips: %r" % ((w, h),)
                ax = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
                assert abs(ax + w // 2 - SCREEN_W // 2) <= 2, "centred across the screen: %d" % ax
                # A dialog of the main window: task bars do not list it.
                assert "window id #" in d.x("xprop", "-id", about, "WM_TRANSIENT_FOR", check=False)
                texts = wait_for("the version window's texts", lambda: [
                    t for t in accessible_texts(env, "Pressory") if t.startswith("Pressory  Version ")])
                assert texts[0] == "Pressory  Version " + ctx.version, texts
                if close_key == "Escape":
                    os.makedirs(ctx.artefacts, exist_ok=True)
                    shot_window(d, about, os.path.join(ctx.artefacts, "about.png"))
                d.x("xdotool", "windowactivate", "--sync", about, check=False)
                time.sleep(0.2)
                d.x("xdotool", "key", close_key)
                wait_for("the version window closed by " + close_key,
                         lambda: not window_named(d, p.proc.pid, "バージョン情報"))
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
