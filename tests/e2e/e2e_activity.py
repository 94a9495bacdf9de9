#!/usr/bin/env python3
"""End-to-end tests. The activity database: every key and button by name under
the application typed into, nothing while paused, and the export's bytes."""
import os
import signal
import sqlite3
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import *  # noqa: E402,F401,F403

# What is typed into each application: (xdotool arguments, key name, presses).
TYPED = {
    "Xmessage": [(["key", "KP_Add"], "テンキー +", 2), (["key", "Henkan_Mode"], "変換", 1),
                 (["key", "Caps_Lock"], "CapsLock", 2), (["click", "2"], "中クリック", 1),
                 (["click", "4"], "ホイール上", 1)],
    "Xfd": [(["key", "KP_Enter"], "テンキー Enter", 1), (["key", "KP_Multiply"], "テンキー *", 3),
            (["key", "Henkan_Mode"], "変換", 2), (["click", "2"], "中クリック", 2),
            (["click", "4"], "ホイール上", 3)],
}
# Typed while paused: none of them may be found anywhere.
TYPED_PAUSED = [(["key", "KP_Subtract"], "テンキー -"), (["key", "Muhenkan"], "無変換"),
                (["click", "5"], "ホイール下")]


def client_of_class(d, cls):
    def look():
        out = d.x("xdotool", "search", "--onlyvisible", "--class", "^%s$" % cls, check=False).split()
        return out[0] if out else None
    return wait_for("a window of class %s" % cls, look, timeout=15)


def activate(d, wid):
    """The window made the active one, as the window manager tells it."""
    d.x("xdotool", "windowactivate", "--sync", wid, check=False)
    wait_for("window %s active" % wid, lambda: "%x" % int(wid) in d.x("xprop", "-root", "_NET_ACTIVE_WINDOW"))
    d.x("xdotool", "mousemove", "--window", wid, "5", "5")


def type_into(d, wid, typed):
    activate(d, wid)
    for args, _, times in typed:
        for _ in range(times):
            d.x("xdotool", *args)


def database_counts(path):
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        return {(app, key): n for app, key, n in db.execute(
            "SELECT a.name, k.name, sum(p.count) FROM presses p JOIN apps a ON a.id = p.app "
            "JOIN keys k ON k.id = p.key GROUP BY a.name, k.name")}
    finally:
        db.close()


def expected_export(path):
    """The export's bytes, made from the database's rows: local hours as
    YYYY/MM/DD HH:00 (an hour is counted from 1970-01-01 00:00 local time)."""
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        rows = db.execute("SELECT p.hour, a.name, k.name, p.count FROM presses p JOIN apps a ON a.id = p.app "
                          "JOIN keys k ON k.id = p.key").fetchall()
    finally:
        db.close()
    rows.sort(key=lambda r: (r[0], r[1].encode(), r[2].encode()))
    out = "\ufeff時刻,アプリ,キー,回数\r\n"
    for hour, app, key, n in rows:
        assert "," not in app + key and '"' not in app + key, (app, key)
        out += "%s,%s,%s,%d\r\n" % (time.strftime("%Y/%m/%d %H:00", time.gmtime(hour * 3600)), app, key, n)
    return out.encode("utf-8"), [r[0] for r in rows]


def test_keys_and_buttons_by_application_pause_and_export(ctx):
    d, folder = ctx.desktop, ctx.folder()
    clients = [subprocess.Popen(["xmessage", "-name", "pressory-e2e", "first application"], env=d.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL),
               subprocess.Popen(["xfd", "-fn", "fixed"], env=d.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    started = time.time()
    try:
        windows = {cls: client_of_class(d, cls) for cls in TYPED}
        with running(ctx, folder) as p:
            for cls, typed in TYPED.items():
                type_into(d, windows[cls], typed)

            # Paused from the File menu's shortcut (full mode: the compact box has no menu).
            to_full_mode(p)
            p.focus()
            d.x("xdotool", "key", "ctrl+p")
            wait_for("the paused title", lambda: "一時停止中" in d.x("xprop", "-id", p.wid, "_NET_WM_NAME"))
            for cls in TYPED:
                type_into(d, windows[cls], [(args, name, 1) for args, name in TYPED_PAUSED])
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0
    finally:
        for c in clients:
            c.terminate()
            c.wait(5)
    ended = time.time()

    database = os.path.join(folder, "PressoryActivity.db")
    counts = database_counts(database)
    for cls, typed in TYPED.items():
        for _, name, times in typed:
            assert counts.get((cls, name)) == times, "%s in %s: %r, expected %d (%r)" % (
                name, cls, counts.get((cls, name)), times, counts)
    typed_names = {name for typed in TYPED.values() for _, name, _ in typed}
    for app, key in counts:
        assert key not in [name for _, name in TYPED_PAUSED], "counted while paused: %s in %r" % (key, app)
        assert key not in typed_names or app in TYPED, "%s counted under %r" % (key, app)

    # The export of the closed program's folder, without a window.
    csv_path = os.path.join(ctx.folder(), "activity.csv")
    r = subprocess.run([p.path, "--export-activity", csv_path], env=dict(os.environ, DISPLAY=""),
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    assert r.returncode == 0, r.stderr.decode("utf-8", "replace")
    want, hours = expected_export(database)
    assert open(csv_path, "rb").read() == want
    lo, hi = (int((t + time.localtime(t).tm_gmtoff) // 3600) for t in (started, ended))
    assert all(lo <= h <= hi for h in hours), "hours %r outside %d..%d" % (hours, lo, hi)

    # A file that cannot be written: a message and a failing status.
    r = subprocess.run([p.path, "--export-activity", os.path.join(folder, "no-such-folder", "a.csv")],
                       env=dict(os.environ, DISPLAY=""), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    assert r.returncode != 0 and r.stderr, "a failed export says so"


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
