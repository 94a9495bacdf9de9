#!/usr/bin/env python3
"""End-to-end tests. The statistics window's activity views over an activity database written here: the
hour-by-weekday grid read as a screen reader reads it."""
import datetime
import os
import re
import signal
import sqlite3
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import *  # noqa: E402,F401,F403

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WEEKDAYS = "月火水木金土日"


def schema_sql():
    with open(os.path.join(ROOT, "src/activity/activity_schema.h"), encoding="utf-8") as f:
        return re.search(r'R"sql\((.*?)\)sql"', f.read(), re.S).group(1)


def local_hour_now():
    """The local hour number of the tables: hours since 1970-01-01 00:00 local."""
    now = time.time()
    return int((now + time.localtime(now).tm_gmtoff) // 3600)


def write_activity(path, rows):
    """A database of the program's tables holding `rows` of (hour, app, key, count)."""
    db = sqlite3.connect(path)
    db.executescript(schema_sql())
    db.execute("INSERT INTO meta VALUES('schema_version', '1')")
    apps, keys = {}, {}
    for hour, app, key, count in rows:
        a = apps.setdefault(app, len(apps) + 1)
        k = keys.setdefault(key, len(keys) + 1)
        db.execute("INSERT INTO presses VALUES(?, ?, ?, ?)", (hour, a, k, count))
    db.executemany("INSERT INTO apps VALUES(?, ?)", [(i, n) for n, i in apps.items()])
    db.executemany("INSERT INTO keys VALUES(?, ?)", [(i, n) for n, i in keys.items()])
    db.commit()
    db.close()


def test_hour_by_weekday_grid_read_aloud(ctx):
    d, folder = ctx.desktop, ctx.folder()
    hour = local_hour_now()
    today = hour // 24 * 24
    row = WEEKDAYS[((today // 24 + 4) % 7 + 6) % 7]
    yesterday = WEEKDAYS[((today // 24 + 3) % 7 + 6) % 7]
    write_activity(os.path.join(folder, "PressoryActivity.db"), [
        (today + 9, "editor", "A", 1234), (today + 9, "term", "変換", 66), (today + 14, "editor", "Space", 321),
        (today - 1, "editor", "A", 5)])   # yesterday 23:00: not today's
    with AccessibilityBus(ctx, d.env) as env:
        with running(ctx, folder, start_env=env) as p:
            to_full_mode(p)
            p.focus()
            d.x("xdotool", "key", "ctrl+g")
            window = wait_for("the statistics window", lambda: window_named(d, p.proc.pid, "統計"), timeout=20)
            wait_for("the hours tab", lambda: do_action_named(env, "Pressory", "page tab", "時間帯と曜日"),
                     timeout=20, step=0.5)

            def cells():
                texts = accessible_texts(env, "Pressory")
                found = [t for t in texts if re.fullmatch(r".曜日 \d+時台: [\d,]+ 回", t)]
                return found if any(t.startswith(row) and t.endswith(": 1,300 回") for t in found) else None
            grid = wait_for("the grid's cells", cells, timeout=20, step=0.5)
            assert len(set(grid)) == 7 * 24, len(set(grid))
            assert "%s曜日 9時台: 1,300 回" % row in grid
            assert "%s曜日 14時台: 321 回" % row in grid
            assert "%s曜日 23時台: 0 回" % yesterday in grid, "yesterday is not in today's period"
            assert sum(int(t.split(": ")[1][:-2].replace(",", "")) for t in grid) == 1300 + 321
            texts = accessible_texts(env, "Pressory")
            assert "最も多い時間帯: 9時台（1,300 回）　最も多い曜日: %s曜日（1,621 回）" % row in texts, \
                [t for t in texts if "最も" in t]
            time.sleep(0.5)
            os.makedirs(ctx.artefacts, exist_ok=True)
            shot_window(d, window, os.path.join(ctx.artefacts, "statistics-hours.png"))
            assert press_button_named(env, "Pressory", "閉じる"), "the window's close button"
            wait_for("the statistics window closed", lambda: not window_named(d, p.proc.pid, "統計"))
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
