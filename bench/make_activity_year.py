#!/usr/bin/python3
"""Writes an activity database of one year of typing, for the statistics
window's figures and screenshots.

Usage: make_activity_year.py PATH [--days 365] [--end YYYY-MM-DD] [--seed 1]

The tables are the program's own (read from src/activity/activity_schema.h), with the sums of
presses filled as the program's step to version 2 fills them.
A heavy typist: weekdays 9-12 and 13-18 and some evenings and weekend hours,
1-3 of 30 applications an hour, 60-100 of 120 keys and buttons in each, about
3,000 presses an hour."""
import argparse
import datetime
import pathlib
import random
import re
import sqlite3
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def schema():
    """The version, the tables of every version, and the step that fills the sums from presses."""
    text = (ROOT / "src/activity/activity_schema.h").read_text(encoding="utf-8")
    version = int(re.search(r"kSchemaVersion = (\d+);", text).group(1))
    blocks = dict(re.findall(r'(k\w+) = R"sql\((.*?)\)sql"', text, re.S))
    return version, blocks["kSchemaSql"] + blocks["kSchemaSqlV2"], blocks["kMigrateV1ToV2"]


def layout_captions():
    """The captions of the counted keys of the drawing (right-justified cells)."""
    text = (ROOT / "src/counting/key_layout.cpp").read_text(encoding="utf-8")
    names = []
    for caption, justify in re.findall(r'\{\d+, "((?:[^"\\]|\\.)*)", \d+, \d+, \d+, \w+, ([RL])\}', text):
        caption = caption.encode().decode("unicode_escape").encode("latin-1").decode("utf-8")
        if justify == "R" and caption not in names:
            names.append(caption)
    return names


OUTSIDE = ["変換", "無変換", "かな", "半角/全角", "Caps", "Menu", "NumLock", "右Shift", "右Ctrl", "右Alt",
           "テンキー 0", "テンキー 1", "テンキー 2", "テンキー 3", "テンキー 4", "テンキー 5", "テンキー 6",
           "テンキー 7", "テンキー 8", "テンキー 9", "テンキー +", "テンキー -", "テンキー *", "テンキー /",
           "テンキー Enter", "テンキー .", "中クリック", "戻るボタン", "進むボタン", "ホイール上", "ホイール下",
           "ホイール左", "ホイール右", "F13", "F14", "F15", "カタカナ/ひらがな", "英数"]

APPS = ["", "code", "firefox", "org.gnome.Terminal", "libreoffice-writer", "libreoffice-calc", "thunderbird",
        "slack", "discord", "gimp", "inkscape", "emacs", "vim", "jetbrains-idea", "chromium", "evince",
        "nautilus", "gedit", "obs", "blender", "keepassxc", "zoom", "teams", "spotify", "steam", "krita",
        "audacity", "kate", "konsole", "dbeaver"]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("path")
    p.add_argument("--days", type=int, default=365)
    p.add_argument("--end", default=datetime.date.today().isoformat())
    p.add_argument("--seed", type=int, default=1)
    a = p.parse_args()
    rnd = random.Random(a.seed)
    keys = layout_captions() + OUTSIDE
    keys = keys[:120]
    path = pathlib.Path(a.path)
    for suffix in ("", "-wal", "-shm"):
        pathlib.Path(str(path) + suffix).unlink(missing_ok=True)
    db = sqlite3.connect(path)
    db.execute("PRAGMA journal_mode=WAL")
    version, tables, sums = schema()
    db.executescript(tables)
    db.execute("INSERT INTO meta VALUES('schema_version', ?)", (str(version),))
    db.executemany("INSERT INTO apps(id, name) VALUES(?, ?)", enumerate(APPS, 1))
    db.executemany("INSERT INTO keys(id, name) VALUES(?, ?)", enumerate(keys, 1))
    # Letters and Space much more than the rest: a weight per key.
    weights = [(30 if len(k) == 1 and k.isalpha() else 60 if k == "Space" else 40 if k in ("BkSp", "Enter", "Left")
                else 3 if k.startswith(("テンキー", "ホイール", "F1")) else 6) for k in keys]
    app_weights = [3, 30, 25, 20, 6, 4, 6, 8, 3, 2, 2, 5, 5, 6, 4, 2, 2, 2, 1, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1]
    end = datetime.date.fromisoformat(a.end)
    epoch = datetime.date(1970, 1, 1)
    # Nothing after the hour now: a year that ends today ends at this hour.
    now = time.time()
    last_hour = int((now + time.localtime(now).tm_gmtoff) // 3600)
    presses, hours = [], []
    for d in range(a.days):
        date = end - datetime.timedelta(days=a.days - 1 - d)
        day = (date - epoch).days
        weekend = date.weekday() >= 5
        for h in range(24):
            if weekend:
                active = 10 <= h <= 22 and rnd.random() < 0.25
            else:
                active = (9 <= h < 12 or 13 <= h < 18) and rnd.random() < 0.92 or 20 <= h <= 23 and rnd.random() < 0.3
            if not active:
                continue
            hour = day * 24 + h
            if hour > last_hour:
                continue
            minutes = rnd.randint(15, 60)
            speed = rnd.uniform(30, 110) * (1.15 if date.weekday() == 2 else 1.0)
            total = int(minutes * speed)
            apps = rnd.choices(range(1, len(APPS) + 1), weights=app_weights, k=rnd.randint(1, 3))
            for app in set(apps):
                chosen = set(rnd.choices(range(len(keys)), weights=weights, k=rnd.randint(80, 200)))
                share = total // len(set(apps))
                ws = [weights[k] for k in chosen]
                s = sum(ws)
                for k, w in zip(chosen, ws):
                    n = max(1, int(share * w / s * rnd.uniform(0.4, 1.6)))
                    presses.append((hour, app, k + 1, n))
            peak = int(speed * rnd.uniform(1.6, 2.6))
            hours.append((hour, minutes, peak, hour * 60 + rnd.randint(0, 59)))
    db.executemany("INSERT INTO presses VALUES(?, ?, ?, ?)", presses)
    db.executemany("INSERT INTO hours VALUES(?, ?, ?, ?)", hours)
    db.executescript(sums)  # the sums the program keeps beside presses
    db.commit()
    db.close()
    print(f"{path}: {len(presses)} press rows, {len(hours)} active hours, {path.stat().st_size / 1e6:.1f} MB")


if __name__ == "__main__":
    main()
