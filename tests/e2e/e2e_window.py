#!/usr/bin/env python3
"""End-to-end tests. The main window: its two modes, the notification area, the shortcuts, the cells as a screen reader reads them, colours, the picture and the heat tint."""
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


def test_compact_start_count_full_mode_and_quit(ctx):
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary).start()
    ctx.figures["first window mapped after start (s)"] = round(p.first_map, 3)
    try:
        x, y, w, h = p.outer_geometry()
        assert (x, y, w, h) == (10, SCREEN_H - 120, 140, 70), "compact geometry %r" % ((x, y, w, h),)
        assert p.topmost(), "compact mode is topmost for the window manager"
        p.shot(ctx.artefacts, "compact.png")

        # Keys pressed in another place: two a, one b, one Shift+a.
        for key in ["a", "a", "b", "shift+a"]:
            d.x("xdotool", "key", "--delay", "30", key)
            time.sleep(0.1)
        # Left mouse button on the desktop background.
        d.x("xdotool", "mousemove", "600", "200", "click", "1")
        time.sleep(0.3)

        p.click_resize_button()
        wait_for("full mode", lambda: p.outer_geometry()[2] > 300)
        time.sleep(0.5)
        assert not p.topmost(), "full mode leaves the topmost band"
        cw, ch = p.client_size()
        assert cw >= 11370 // 15 - 2, "full client width %d" % cw
        p.shot(ctx.artefacts, "full.png")

        # Back to compact and full again: each mode keeps its own geometry.
        full_geometry = p.outer_geometry()
        p.click_resize_button()
        wait_for("compact mode again", lambda: p.outer_geometry()[2] == 140)
        assert p.outer_geometry() == (10, SCREEN_H - 120, 140, 70)
        assert p.topmost()
        p.click_resize_button()
        wait_for("full mode again", lambda: p.outer_geometry()[2] > 300)
        assert p.outer_geometry() == full_geometry, "%r != %r" % (p.outer_geometry(), full_geometry)

        # Quit from the menu: Ctrl+Q, then the confirmation box.
        p.focus()
        d.x("xdotool", "key", "ctrl+q")
        box = find_box(p, p.proc.pid)
        time.sleep(0.3)
        p.shot(ctx.artefacts, "saved.png")
        answer_box(p, box)
        assert p.wait_exit() == 0
    finally:
        p.kill()

    data, rows = read_history(p.history_path)
    assert data.startswith(expected_header_bytes()), "header bytes in code page 932"
    assert len(rows) == 2
    counts, total = check_record(rows[1], {65: 3, 66: 1, 16: 1})
    assert counts[1] >= 4, "the desktop click and three button clicks count on Left"
    # Q may have been counted by the Ctrl+Q that closed the program.
    assert rows[1][5:7] == ["A", "B"] and rows[1][7] in ("", "Q") and rows[1][8:10] == ["", ""], rows[1][5:10]
    settings = open(p.settings_path, "rb").read()
    assert settings == FIRST_SETTINGS, "settings after a first close: %r" % settings


def test_minimise_to_notification_area_and_back(ctx):
    d, folder = ctx.desktop, ctx.folder()
    with running(ctx, folder) as p:
        geometry = hide_full_window(p)
        icon = wait_for("the tray icon", lambda: tray_icon(d, p), timeout=10)
        d.x("xdotool", "key", "e")  # counted while hidden
        time.sleep(0.2)
        ix, iy = icon
        d.x("xdotool", "mousemove", str(ix), str(iy), "click", "1")
        time.sleep(0.6)
        assert not p.is_viewable(), "a single click does nothing"
        d.x("xdotool", "mousemove", str(ix), str(iy), "click", "--repeat", "2", "--delay", "80", "1")
        # Shown again, possibly as a new native window.
        p.wid = wait_for("the window back", p.find_main_window)
        time.sleep(0.5)
        assert p.outer_geometry() == geometry, "back in full mode at its place"
        p.shot(ctx.artefacts, "restored.png")
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    _, rows = read_history(p.history_path)
    check_record(rows[1], {69: 1})


def tray_icon(d, p):
    """Centre of the program's icon inside trayer, in root coordinates."""
    # The icon is a small viewable window of the program's own, docked in
    # trayer at the bottom of the screen.
    for w in d.x("xdotool", "search", "--onlyvisible", "--pid", str(p.proc.pid), check=False).split():
        if w == p.wid:
            continue
        info = d.x("xwininfo", "-id", w, check=False)
        m = re.search(r"Absolute upper-left X:\s+(-?\d+).*?Absolute upper-left Y:\s+(-?\d+).*?"
                      r"Width:\s+(\d+).*?Height:\s+(\d+)", info, re.S)
        if m:
            x, y, w_, h_ = (int(v) for v in m.groups())
            if w_ <= 64 and h_ <= 64 and y > SCREEN_H - 64:
                return (x + w_ // 2, y + h_ // 2)
    return None


def test_compact_shortcuts_do_nothing(ctx):
    d, folder = ctx.desktop, ctx.folder()
    with running(ctx, folder) as p:
        d.x("xdotool", "key", "f")
        time.sleep(0.2)
        p.focus()
        d.x("xdotool", "key", "ctrl+n")
        d.x("xdotool", "key", "ctrl+s")
        d.x("xdotool", "key", "ctrl+q")
        time.sleep(0.6)
        assert p.proc.poll() is None, "Ctrl+Q does not close the compact box"
        assert not os.path.exists(p.history_path), "Ctrl+S records nothing in compact mode"
        p.proc.send_signal(signal.SIGINT)
        assert p.wait_exit() == 0
    _, rows = read_history(p.history_path)
    assert len(rows) == 2
    check_record(rows[1], {70: 1})


# The 36 letter and digit keys, by keysym, with their virtual-key codes.


ATSPI_READER = r"""
import sys, pyatspi
want = sys.argv[1:]
desktop = pyatspi.Registry.getDesktop(0)
found = {}
def walk(node, depth=0):
    if node is None or depth > 12:
        return
    name = node.name or ""
    if name in want and name not in found and node.getRoleName() == "text":
        try:
            t = node.queryText()
            found[name] = t.getText(0, t.characterCount)
        except NotImplementedError:
            found[name] = None
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app is not None and app.name == "Pressory":
        walk(app)
for name in want:
    print("%s\t%s" % (name, found.get(name, "<missing>")))
"""


def test_cells_read_by_a_screen_reader(ctx):
    """The count cells and the total as a screen reader reads them over AT-SPI."""
    d, folder = ctx.desktop, ctx.folder()
    with AccessibilityBus(ctx, d.env) as env:
        with running(ctx, folder, start_env=env) as p:
            for key in ["a", "a", "a", "b"]:
                d.x("xdotool", "key", "--delay", "30", key)
                time.sleep(0.05)
            time.sleep(0.5)

            def read():
                out = run("/usr/bin/python3", "-c", ATSPI_READER, "A", "B", "Z", "合計", env=env, timeout=30)
                values = dict(line.split("\t", 1) for line in out.splitlines() if "\t" in line)
                return values if values.get("合計") == "4" else None
            values = wait_for("the cells over AT-SPI", read, timeout=20, step=0.5)
            assert values == {"A": "3", "B": "1", "Z": "0", "合計": "4"}, values
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0


def test_background_colour_and_picture_through_the_real_dialogs(ctx):
    d, folder = ctx.desktop, ctx.folder()
    picture = os.path.join(folder, "back.png")
    run("convert", "-size", "420x150", "gradient:#ffe9a8-#f7a8c8", picture)
    blue = (0x33, 0x66, 0xCC)

    def check_applied(p, name):
        ax, ay = client_origin(p)
        _, ch = p.client_size()
        menu = ch - 356
        # Beside the picture the background colour; in it the picture, under
        # the controls (the free strip between the total and the Esc row).
        assert pixel(d, ax + 600, ay + menu + 40) == blue, pixel(d, ax + 600, ay + menu + 40)
        r, g, b = pixel(d, ax + 300, ay + menu + 40)
        assert r > 240 and 190 < g < 240 and 160 < b < 200, (r, g, b)
        assert pixel(d, ax + 430, ay + menu + 40) == blue, "drawn at its own size"
        os.makedirs(ctx.artefacts, exist_ok=True)
        shot_window(d, p.wid, os.path.join(ctx.artefacts, name))

    with running(ctx, folder) as p:
        to_full_mode(p)
        # Qt's own dialogs, with their Japanese titles. The colour dialog: its
        # HTML field (Alt+H), a value, Enter for OK.
        menu_command(p, "v", "c")
        dialog = wait_for("the colour dialog", lambda: window_named(d, p.proc.pid, "色を選択"))
        d.x("xdotool", "windowactivate", "--sync", dialog, check=False)
        time.sleep(0.3)
        d.x("xdotool", "key", "alt+h", "ctrl+a")
        d.x("xdotool", "type", "--delay", "30", "#3366cc")
        d.x("xdotool", "key", "Return")
        wait_for("the colour dialog closed", lambda: not window_named(d, p.proc.pid, "色を選択"))
        # The file dialog: the name typed into its file-name field.
        menu_command(p, "v", "d")
        dialog = wait_for("the file dialog", lambda: window_named(d, p.proc.pid, "開く"))
        d.x("xdotool", "windowactivate", "--sync", dialog, check=False)
        time.sleep(0.3)
        d.x("xdotool", "type", "--delay", "10", picture)
        d.x("xdotool", "key", "Return")
        wait_for("the file dialog closed", lambda: not window_named(d, p.proc.pid, "開く"))
        time.sleep(0.4)
        check_applied(p, "background.png")
        # Stored at close.
        p.focus()
        d.x("xdotool", "key", "ctrl+q")
        answer_box(p, find_box(p, p.proc.pid))
        assert p.wait_exit() == 0
    settings = open(p.settings_path, "rb").read()
    assert b"ColorBackGround=13395507\r\n" in settings, settings
    assert ("PictureBackGround=%s\r\n" % picture).encode() in settings, settings
    assert settings.endswith(b"PictureEnable=-1\r\nHeatMap=0\r\n"), settings

    # Applied at the next start, in both modes.
    with running(ctx, folder, desktop=d) as p:
        ax, ay = client_origin(p)
        r, g, b = pixel(d, ax + 3, ay + 3)
        assert r > 240 and g > 190, "the picture in the compact window: %r" % ((r, g, b),)
        to_full_mode(p)
        check_applied(p, "background-restarted.png")
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0


def test_heat_map_tints_the_cells_by_their_share(ctx):
    d, folder = ctx.desktop, ctx.folder()
    with running(ctx, folder) as p:
        to_full_mode(p)
        menu_command(p, "v", "m")  # View > the heat tint
        time.sleep(0.3)
        for key, times in (("a", 8), ("s", 2)):
            for _ in range(times):
                d.x("xdotool", "key", "--delay", "30", key)
        time.sleep(0.4)
        ax, ay = client_origin(p)
        _, ch = p.client_size()
        menu = ch - 356

        def cell_pixel(left_twips, top_twips):
            # Inside the cell, left of its right-justified count.
            return pixel(d, ax + left_twips // 15 + 5, ay + menu + top_twips // 15 + 10)

        # A, the most pressed key, in the darkest colour; S at a quarter of it
        # half way up the scale; D, not pressed, plain.
        assert cell_pixel(1200, 3120) == (0x1D, 0x91, 0xC0), cell_pixel(1200, 3120)
        assert cell_pixel(1800, 3120) == (163, 219, 184), cell_pixel(1800, 3120)
        assert cell_pixel(2400, 3120) == (255, 255, 255), cell_pixel(2400, 3120)
        # Some typing for the picture of a working period.
        d.x("xdotool", "type", "--delay", "12", "pack my box with five dozen liquor jugs. " * 2)
        time.sleep(0.4)
        os.makedirs(ctx.artefacts, exist_ok=True)
        shot_window(d, p.wid, os.path.join(ctx.artefacts, "heatmap.png"))
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    assert open(p.settings_path, "rb").read().endswith(b"PictureEnable=0\r\nHeatMap=-1\r\n")


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
