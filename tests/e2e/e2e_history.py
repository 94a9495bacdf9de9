#!/usr/bin/env python3
"""End-to-end tests. The history file as the program writes and shows it: the viewer, the statistics window, a history without its last line end, a pipe in its place."""
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


def test_history_viewer_shows_the_newest_records(ctx):
    d, folder = ctx.desktop, ctx.folder()
    # Two recorded periods: one A, then two B.
    for keys in (["a"], ["b", "b"]):
        with running(ctx, folder) as p:
            for key in keys:
                d.x("xdotool", "key", key)
                time.sleep(0.05)
            time.sleep(0.3)
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0
        time.sleep(1.1)   # the two records get different time stamps
    _, rows = read_history(p.history_path)
    assert len(rows) == 3

    with AccessibilityBus(ctx, d.env) as env:
        with running(ctx, folder, start_env=env) as p:
            to_full_mode(p)
            p.focus()
            d.x("xdotool", "key", "ctrl+h")
            viewer = wait_for("the history viewer", lambda: window_named(d, p.proc.pid, "履歴"))
            texts = wait_for("the viewer's texts", lambda: (lambda t: t if "2 件" in t else None)(
                accessible_texts(env, "Pressory")))
            stamps = [t for t in texts if re.fullmatch(r"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d", t)]
            assert stamps and stamps[0] == rows[2][0], "the newest record first: %r, %r" % (stamps[:4], rows[2][0])
            assert rows[1][0] in stamps, "the older record is shown too"
            time.sleep(0.3)
            os.makedirs(ctx.artefacts, exist_ok=True)
            shot_window(d, viewer, os.path.join(ctx.artefacts, "history.png"))
            # Scrolled sideways: the key columns pass under the fixed ones.
            d.x("xdotool", "mousemove", "--window", viewer, "500", "200", "click", "--repeat", "12", "7")
            time.sleep(0.3)
            shot_window(d, viewer, os.path.join(ctx.artefacts, "history-scrolled.png"))
            # Counting goes on while the viewer is open.
            for _ in range(3):
                d.x("xdotool", "key", "x")
                time.sleep(0.05)
            assert press_button_named(env, "Pressory", "OK"), "the viewer's OK button"
            wait_for("the viewer closed by OK", lambda: not window_named(d, p.proc.pid, "履歴"))
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0
    _, rows = read_history(p.history_path)
    assert len(rows) == 4
    check_record(rows[3], {88: 3})


SEED_SHARE = dict(zip(range(65, 91), [82, 15, 28, 43, 127, 22, 20, 61, 70, 2, 8, 40, 24, 67, 75, 19, 1, 60, 63,
                                      91, 28, 10, 24, 2, 20, 1]))
SEED_SHARE.update({32: 180, 13: 30, 8: 45, 16: 25, 17: 12, 1: 40, 2: 6, 37: 8, 39: 8, 38: 4, 40: 4, 188: 10,
                   190: 12, 46: 4, 9: 3, 27: 2})


def seed_history(path, days):
    """A history of working days before today, written as the program writes it:
    one or two records a day, in code page 932 with CR LF."""
    import datetime
    today = datetime.date.today()
    lines = [",".join(HEADER_FIXED + [c for _, c in COUNTED])]
    for back in range(days, 0, -1):
        day = today - datetime.timedelta(days=back)
        if day.weekday() >= 5:
            continue
        for part, hour in enumerate((12, 18)[:1 + back % 2]):
            size = 8 + (back * 7 + part * 3) % 13 + 4 * day.weekday()   # thousands of presses
            counts = [SEED_SHARE.get(vk, 1) * size + (vk + back) % 7 for vk, _ in COUNTED]
            stamp = "%s %02d:00:00" % (day.strftime("%Y/%m/%d"), hour)
            lines.append(",".join([stamp, "0.00", "0.00", "0.00", "0.00", "", "", "", "", "",
                                   str(sum(counts))] + [str(c) for c in counts]))
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


def test_statistics_window_after_three_recorded_periods(ctx):
    d, folder = ctx.desktop, ctx.folder()
    seed_history(os.path.join(folder, "PressoryHistory.csv"), 120)
    with AccessibilityBus(ctx, d.env) as env:
        with running(ctx, folder, start_env=env) as p:
            to_full_mode(p)
            # Three periods, each saved with Ctrl+S, which records and resets.
            for keys in (["a", "a", "a"], ["b", "b"], ["e"]):
                p.focus()
                for key in keys:
                    d.x("xdotool", "key", key)
                    time.sleep(0.05)
                time.sleep(0.3)
                d.x("xdotool", "key", "ctrl+s")
                box = find_box(p, p.proc.pid)
                answer_box(p, box)
                wait_for("the box answered", lambda: find_box_gone(p))
            _, rows = read_history(p.history_path)
            records = rows[1:]
            assert len(records) >= 3 + 60, len(records)
            for record, must in zip(records[-3:], ({65: 3}, {66: 2}, {69: 1})):
                check_record(record, must)
            all_presses = sum(int(r[10]) for r in records)

            p.focus()
            d.x("xdotool", "key", "ctrl+g")
            window = wait_for("the statistics window", lambda: window_named(d, p.proc.pid, "統計"), timeout=20)
            want = "総打鍵数: {:,}".format(all_presses)
            texts = wait_for("the statistics window's texts", lambda: (lambda t: t if want in t else None)(
                accessible_texts(env, "Pressory")), timeout=20, step=0.5)
            assert "記録の件数: %d 件" % len(records) in texts, [t for t in texts if "件" in t]
            assert any(t.startswith("記録した日数: ") for t in texts)
            assert any(t.startswith("1. ") and "回（" in t for t in texts), "the most pressed key"
            assert not any("読み取れない記録" in t for t in texts), "no record was skipped"
            time.sleep(0.5)
            os.makedirs(ctx.artefacts, exist_ok=True)
            shot_window(d, window, os.path.join(ctx.artefacts, "statistics.png"))
            assert press_button_named(env, "Pressory", "閉じる"), "the window's close button"
            wait_for("the statistics window closed", lambda: not window_named(d, p.proc.pid, "統計"))
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0


def test_history_without_its_last_line_end(ctx):
    d, folder = ctx.desktop, ctx.folder()
    old = "2024/01/02 03:04:05" + "," * 9 + ",0" + ",0" * 84
    with open(os.path.join(folder, "PressoryHistory.csv"), "wb") as f:
        f.write(expected_header_bytes() + old.encode("cp932"))   # cut off before its CR LF
    with running(ctx, folder) as p:
        press_keys(d, ["i", "i"])
        p.stop()
    data, rows = read_history(p.history_path)
    assert len(rows) == 3, "header and two whole records: %r" % data[-400:]
    assert ",".join(rows[1]) == old
    check_record(rows[1], {})
    check_record(rows[2], {73: 2})


def test_fifo_as_history_file(ctx):
    d, folder = ctx.desktop, ctx.folder()
    history = os.path.join(folder, "PressoryHistory.csv")
    os.mkfifo(history)
    with ScreenReader(ctx, d) as reader:
        p = Program(d, folder, ctx.binary, env=reader.program_env()).start()
        try:
            # Said at the start already.
            box = find_dialog(p)
            texts = reader.box_texts()
            assert any(history + " に書き込めません。" in t for t in texts), texts
            answer_until_gone(p, box)
            p.wid = wait_for("the main window", p.find_main_window)   # it may have a new native window

            press_keys(d, ["l"] * 3)
            p.click_resize_button()
            wait_for("full mode", lambda: p.outer_geometry()[2] > 300)
            p.focus()
            t = time.monotonic()
            d.x("xdotool", "key", "ctrl+q")
            box = find_dialog(p)
            ctx.figures["close with a FIFO as history: box after (s)"] = round(time.monotonic() - t, 3)
            texts = reader.box_texts()
            assert any(t.startswith(history + " に記録できませんでした。\n") and
                       t.endswith("通常のファイルではありません。") for t in texts), texts
            p.shot(ctx.artefacts, "fifo-history.png")
            answer_box(p, box)
            assert p.wait_exit() == 0, "the close finishes"
        finally:
            p.kill()
    total, counts = read_recovery(p.recovery_path)
    assert counts[76] == 3, "the counts are kept for the next start: %d" % counts[76]
    assert open(p.settings_path, "rb").read() == FIRST_SETTINGS

    os.remove(history)
    again = Program(d, folder, ctx.binary).start()
    try:
        again.stop()
    finally:
        again.kill()
    _, rows = read_history(history)
    assert len(rows) == 3
    check_record(rows[1], {76: 3})


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
