#!/usr/bin/env python3
"""End-to-end test of the Windows program under Wine, on Xvfb with openbox.

1. The program unpacked from the zip into a Wine prefix starts, shows its
   window, counts the keys typed into that window, and on WM_CLOSE appends a
   record. The Linux program, given the same presses on the same desktop,
   writes the same bytes: the header line whole, the record but for its
   time stamp (CP932, CR LF, 95 fields). Each also writes the activity
   database beside the history (through the sqlite3.dll the zip ships), with
   the typed keys by name.
2. The installer installs silently (/S) for the user: the program, the
   Start-menu shortcut, no sign-in shortcut. The installed program, whose
   folder is read-only, records into %APPDATA%\\Pressory. The silent
   uninstaller removes the program and the shortcut and leaves the history,
   the settings and the activity database (in %APPDATA% and in the program's
   folder). /S /STARTUP
   adds the sign-in shortcut, which the uninstaller removes too.
3. A second start while a copy runs is refused with a box and ends.
4. The notification area, in a Wine virtual desktop with a taskbar: the
   window minimised hides behind the icon; a double-click on the icon, or
   its menu's 表示, brings it back; the menu's 一時停止 pauses (keys go
   uncounted) and resumes, its 終了 ends the program with its record.

Prints the figures: start to first window and RSS, under Wine and on Linux.
Run as root, the Wine programs run as nobody, so that a read-only folder
is read-only for them.
"""
import argparse
import os
import pwd
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import NOBODY, check_record, expected_header_bytes, read_history, run, wait_for  # noqa: E402

WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
# Letters and digits: keys that do nothing in the window (Return or Space
# would press its focused button), each held 60 ms.
KEYS = ["a", "b", "c", "c", "1", "2", "2", "2"]
KEY_COUNTS = {1: 1, 65: 1, 66: 1, 67: 2, 49: 1, 50: 3}  # and the click on the mode button
# The same presses by name in the activity database (all applications).
KEY_NAMES = {"A": 1, "B": 1, "C": 2, "1": 1, "2": 3}
ACTIVITY_TABLES = {"meta", "apps", "keys", "presses", "hours", "app_hours", "key_days"}
UNPRIVILEGED = NOBODY if os.geteuid() == 0 else []


class Desktop:
    def __init__(self, display):
        if display is None:
            n = 140
            while os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
                n += 1
            display = n
        self.display = ":%d" % display
        self.procs = [subprocess.Popen(["Xvfb", self.display, "-noreset", "-screen", "0", "1280x1024x24"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
        wait_for("Xvfb", lambda: os.path.exists("/tmp/.X11-unix/X%s" % self.display[1:]))
        self.env = dict(os.environ, DISPLAY=self.display)
        for name in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("openbox", lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
                 self.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False))

    def x(self, *args, check=True):
        return run(*args, check=check, env=self.env)

    def windows(self, name="^Pressory$"):
        return self.x("xdotool", "search", "--onlyvisible", "--name", name, check=False).split()

    def area(self, wid):
        info = self.x("xwininfo", "-id", wid, check=False)
        size = [int(line.split()[-1]) for line in info.splitlines() if line.strip().startswith(("Width:", "Height:"))]
        return size[0] * size[1] if len(size) == 2 else 0

    def type_keys(self, wid):
        self.x("xdotool", "windowactivate", "--sync", wid, check=False)
        time.sleep(0.3)
        for k in KEYS:
            self.x("xdotool", "keydown", k)
            time.sleep(0.06)
            self.x("xdotool", "keyup", k)
            time.sleep(0.06)
        time.sleep(0.3)

    def stop(self):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Wine:
    """A Wine prefix of its own, its server kept running between the programs."""

    def __init__(self, desktop, prefix):
        self.desktop = desktop
        self.prefix = prefix
        self.home = os.path.join(prefix, "home")
        tmp = os.path.join(prefix, "tmp")  # the server's socket folder too: one its user can write
        os.makedirs(self.home, exist_ok=True)
        os.makedirs(tmp, exist_ok=True)
        self.env = dict(desktop.env, WINEPREFIX=os.path.join(prefix, "wine"), HOME=self.home, TMPDIR=tmp,
                        WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", LANG="ja_JP.UTF-8")
        self.env.pop("XDG_RUNTIME_DIR", None)
        if UNPRIVILEGED:
            run("chown", "-R", "65534:65534", prefix)
        t0 = time.monotonic()
        r = subprocess.run(UNPRIVILEGED + [WINE, "wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True, timeout=300)
        assert r.returncode == 0, "wineboot: %s" % r.stderr[-2000:]
        self.server = subprocess.Popen(UNPRIVILEGED + [WINESERVER, "-f", "-p"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.boot_seconds = time.monotonic() - t0
        # The profile folder is named after the Unix user.
        self.user = self.unix("C:\\users\\" + pwd.getpwuid(65534 if UNPRIVILEGED else os.geteuid()).pw_name)

    def unix(self, windows_path):
        """The Unix path of a path on drive C:."""
        assert windows_path[:3].upper() == "C:\\"
        return os.path.join(self.env["WINEPREFIX"], "drive_c", *windows_path[3:].split("\\"))

    def start(self, *args):
        return subprocess.Popen(UNPRIVILEGED + [WINE] + list(args), env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(UNPRIVILEGED + [WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        try:
            self.server.wait(10)
        except subprocess.TimeoutExpired:
            self.server.kill()


def as_nobody(path):
    if UNPRIVILEGED:
        run("chown", "-R", "65534:65534", path)


def close(desktop, proc, wid, label):
    """Closes the window (WM_CLOSE), answers the box that says where the
    record went, and waits for the program's end."""
    desktop.x("wmctrl", "-i", "-c", wid)

    def ended():
        if proc.poll() is not None:
            return True
        for w in desktop.windows():
            if w != wid:
                desktop.x("xdotool", "windowactivate", "--sync", w, check=False)
                time.sleep(0.2)
                desktop.x("xdotool", "key", "Return", check=False)
                time.sleep(0.5)
        return False
    wait_for("the program of %s to end" % label, ended, timeout=60, step=0.5)
    assert proc.returncode == 0, "%s ended with %d" % (label, proc.returncode)
    wait_for("its window gone", lambda: desktop.windows() == [], timeout=20)


def session(desktop, start, history, figures, label, screenshot=None, answer_box=False):
    """Starts a program, switches it to the full window with a click on its
    button, types the keys into it, closes it (WM_CLOSE; the box that says
    where the record went is answered) and returns its history file's bytes."""
    assert desktop.windows() == [], "no Pressory window before the start"
    t0 = time.monotonic()
    proc = start()
    try:
        wid = wait_for("the window of %s" % label, lambda: (desktop.windows() or [None])[0], timeout=60)
        figures["start to first window, " + label] = "%.2f s" % (time.monotonic() - t0)
        time.sleep(1.0)
        if answer_box:
            # The notice that the files are now in the per-user folder: the
            # larger of the two windows (the compact window is smaller); answered with Return.
            wins = wait_for("the notice beside the window", lambda: desktop.windows() if len(desktop.windows()) == 2
                            else None, timeout=20)
            box = max(wins, key=desktop.area)
            desktop.x("xdotool", "windowactivate", "--sync", box, check=False)
            time.sleep(0.3)
            desktop.x("xdotool", "key", "Return")
            wait_for("the notice closed", lambda: len(desktop.windows()) == 1, timeout=20)
            time.sleep(0.5)
        wid = desktop.windows()[0]
        assert "_NET_WM_STATE_ABOVE" in desktop.x("xprop", "-id", wid, "_NET_WM_STATE", check=False), \
            "the compact window stays on top"
        # The mode button (cmdResize, 96 + 11, 16 + 10 pixels into the compact window): the full window.
        desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
        desktop.x("xdotool", "mousemove", "--window", wid, "107", "26")
        time.sleep(0.1)
        desktop.x("xdotool", "click", "1")
        wait_for("the full window", lambda: desktop.windows() and desktop.area(desktop.windows()[0]) > 200 * 200,
                 timeout=20)
        time.sleep(0.5)
        wid = desktop.windows()[0]
        desktop.type_keys(wid)
        pid = int(desktop.x("xdotool", "getwindowpid", wid, check=False).strip() or proc.pid)
        figures["RSS, " + label] = "%.1f MiB" % (rss_kib(pid) / 1024)
        if screenshot:
            desktop.x("import", "-window", wid, screenshot)
        close(desktop, proc, wid, label)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    data, rows = read_history(history)
    assert data.startswith(expected_header_bytes()), "the header line, in CP932"
    assert len(rows) == 2, "one record: %r" % rows
    check_record(rows[1], KEY_COUNTS)
    check_activity(os.path.join(os.path.dirname(history), "PressoryActivity.db"), label)
    return data


def check_activity(path, label):
    """The activity database beside the history, written at the close: its
    tables, and the typed keys by name."""
    assert os.path.exists(path), "%s wrote no activity database at %s" % (label, path)
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        tables = {r[0] for r in db.execute("SELECT name FROM sqlite_master WHERE type = 'table'")}
        assert ACTIVITY_TABLES <= tables, "%s: the activity database's tables: %r" % (label, tables)
        counts = dict(db.execute("SELECT k.name, sum(p.count) FROM presses p JOIN keys k ON k.id = p.key "
                                 "GROUP BY k.name"))
        apps = [r[0] for r in db.execute("SELECT DISTINCT a.name FROM presses p JOIN apps a ON a.id = p.app")]
    finally:
        db.close()
    for key, n in KEY_NAMES.items():
        assert counts.get(key) == n, "%s: %s counted %r times in the activity database, expected %d (%r)" % (
            label, key, counts.get(key), n, counts)
    print("activity database, %s: the typed keys under %r" % (label, apps))


def without_time(history):
    header, record = history.split(b"\r\n", 1)
    return header + b"\r\n" + record.split(b",", 1)[1]


def test_zip(desktop, wine, zip_path, linux, work, figures, screenshot):
    folder = os.path.join(wine.env["WINEPREFIX"], "drive_c", "Pressory-zip")
    with zipfile.ZipFile(zip_path) as z:
        z.extractall(folder)
    top = [n for n in os.listdir(folder)]
    assert len(top) == 1, "the zip holds one folder: %r" % top
    program = os.path.join(folder, top[0])
    assert os.path.exists(os.path.join(program, "sqlite3.dll")), "the zip holds SQLite for the activity database"
    as_nobody(folder)
    exe = "C:\\Pressory-zip\\%s\\Pressory.exe" % top[0]
    win = session(desktop, lambda: wine.start(exe), os.path.join(program, "PressoryHistory.csv"), figures,
                  "Wine", screenshot=screenshot)
    if linux:
        lfolder = os.path.join(work, "linux")
        os.makedirs(lfolder)
        shutil.copy2(linux, os.path.join(lfolder, "Pressory"))
        env = dict(desktop.env, QT_QPA_PLATFORM="xcb")
        lin = session(desktop, lambda: subprocess.Popen([os.path.join(lfolder, "Pressory")], cwd="/", env=env,
                                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL),
                      os.path.join(lfolder, "PressoryHistory.csv"), figures, "Linux")
        assert without_time(win) == without_time(lin), \
            "the Windows and the Linux record differ:\n%r\n%r" % (win, lin)
        print("records: Windows and Linux byte-identical but for the time stamp (%d bytes)" % len(win))
    return program


def test_sound(desktop, wine, program, work):
    """A key's WAV plays through the system's player, heard on a PulseAudio null sink."""
    from harness import NullSink, max_amplitude, write_wav
    sink_folder = os.path.join(work, "pulse")
    os.makedirs(sink_folder)
    sink = NullSink(sink_folder).start()
    try:
        write_wav(os.path.join(program, "tone.wav"))
        with open(os.path.join(program, "Pressory.ini"), "wb") as f:
            f.write(b"[SOUND]\r\nSoundEnable=-1\r\nKey65=C:\\Pressory-zip\\%s\\tone.wav\r\n"
                    % os.path.basename(program).encode())
        as_nobody(program)
        env = dict(wine.env, PULSE_SERVER="unix:" + sink.socket)
        proc = subprocess.Popen(UNPRIVILEGED + [WINE, "C:\\Pressory-zip\\%s\\Pressory.exe" % os.path.basename(program)],
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wid = wait_for("the window", lambda: (desktop.windows() or [None])[0], timeout=60)
            time.sleep(1.0)
            raw = os.path.join(sink_folder, "monitor.raw")
            rec = sink.record(raw)
            desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
            time.sleep(0.3)
            for _ in range(3):
                desktop.x("xdotool", "keydown", "a")
                time.sleep(0.06)
                desktop.x("xdotool", "keyup", "a")
                time.sleep(0.4)
            rec.terminate()
            rec.wait(5)
            close(desktop, proc, wid, "Wine with sounds")
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        peak = max_amplitude(raw)
        assert peak > 0.3, "the key's sound is heard: peak %.3f" % peak
    finally:
        sink.stop()
    _, rows = read_history(os.path.join(program, "PressoryHistory.csv"))
    check_record(rows[-1], {65: 3})
    return peak


def test_second_start(desktop, wine, program):
    """A second start while a copy runs is refused with a box and ends; the running copy goes on."""
    exe = "C:\\Pressory-zip\\%s\\Pressory.exe" % os.path.basename(program)
    first = wine.start(exe)
    second = None
    try:
        wid = wait_for("the window", lambda: (desktop.windows() or [None])[0], timeout=60)
        time.sleep(1.0)
        second = wine.start(exe)
        box = wait_for("the refusal box", lambda: ([w for w in desktop.windows() if w != wid] or [None])[0],
                       timeout=60)
        desktop.x("xdotool", "windowactivate", "--sync", box, check=False)
        time.sleep(0.3)
        desktop.x("xdotool", "key", "Return")
        wait_for("the second copy to end", lambda: second.poll() is not None, timeout=30)
        assert second.returncode == 0, "the second copy ended with %d" % second.returncode
        assert first.poll() is None and desktop.windows() == [wid], "the running copy and its window go on"
        close(desktop, first, wid, "Wine, first copy")
    finally:
        for p in (first, second):
            if p is not None and p.poll() is None:
                p.kill()
                p.wait()


class Grab:
    """The pixels of an X window (RGB, row by row)."""

    def __init__(self, desktop, wid):
        ppm = subprocess.run(["import", "-window", wid, "-depth", "8", "ppm:-"], env=desktop.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=20, check=True).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)  # one whitespace byte, then the pixels
        assert header, "a PPM of the window"
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self.data = ppm[header.end():header.end() + self.width * self.height * 3]
        assert len(self.data) == self.width * self.height * 3, "the window's pixels"

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.data[i:i + 3]

    def changed(self, other, x0):
        """The box (left, top, right, bottom) of the pixels right of x0 that
        differ from `other`'s, or None."""
        xs, ys = [], []
        for y in range(self.height):
            for x in range(x0, self.width):
                if self.pixel(x, y) != other.pixel(x, y):
                    xs.append(x)
                    ys.append(y)
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None

    def box(self, box):
        left, top, right, bottom = box
        return [self.pixel(x, y) for y in range(top, bottom + 1) for x in range(left, right + 1)]


def alive(pid):
    """Whether a process runs (not ended, nor ended and not yet collected)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def test_tray(desktop, wine, program, figures, screenshot=None):
    """The notification area, in a Wine virtual desktop with a taskbar (the
    desktop named "shell"; Wine docks no icon into an X notification area
    here). Minimised (a click on the window's taskbar button), the window
    hides and the icon shows at the right of the taskbar; a double-click on
    the icon brings the window back and the icon goes. The icon's menu holds
    表示, 一時停止 and 終了, in that order: 一時停止 turns the icon into the
    paused one and back (keys typed on the desktop meanwhile are not
    counted; those before it are), 表示 brings the window back, 終了 ends
    the program, which appends its record."""
    exe = "C:\\Pressory-zip\\%s\\Pressory.exe" % os.path.basename(program)
    history = os.path.join(program, "PressoryHistory.csv")
    rows_before = read_history(history)[1] if os.path.exists(history) else [None]  # [the header]
    assert desktop.windows() == [], "no Pressory window before the start"
    t0 = time.monotonic()
    shell_proc = wine.start("explorer", "/desktop=shell,1280x960", exe)
    pid = None
    try:
        shell = wait_for("the Wine desktop", lambda: desktop.x("xdotool", "search", "--onlyvisible", "--name",
                                                               "^shell - Wine desktop$", check=False).split(),
                         timeout=60)[0]

        def taskbar():
            # A child of the desktop window as wide as the desktop and a bar's height.
            for line in desktop.x("xwininfo", "-children", "-id", shell, check=False).splitlines():
                parts = line.split()
                if len(parts) >= 3 and parts[0].startswith("0x") and '"explorer.exe")' in line:
                    w, h = parts[-2].split("+")[0].split("x")
                    if int(w) >= 1200 and 10 <= int(h) <= 60:
                        return parts[0]
            return None
        bar = wait_for("the taskbar of the Wine desktop", taskbar, timeout=30)
        wid = wait_for("the window", lambda: (desktop.windows() or [None])[0], timeout=60)
        pid = int(desktop.x("xdotool", "getwindowpid", wid).strip())
        figures["start to first window, Wine desktop with a taskbar"] = "%.2f s" % (time.monotonic() - t0)
        time.sleep(1.0)
        plain = Grab(desktop, bar)  # the program's button on the left, no icon on the right
        right = plain.width * 3 // 4
        h = str(plain.height // 2)

        def minimise():
            # A click on the button of the active window minimises it; the
            # program's button is the first after Start.
            for attempt in range(2):  # the first click may only activate it
                desktop.x("xdotool", "mousemove", "--window", bar, "120", h, "click", "1")
                try:
                    wait_for("the window hidden", lambda: desktop.windows() == [], timeout=5)
                    break
                except AssertionError:
                    if attempt == 1:
                        raise
            away()
            return wait_for("the icon in the notification area", lambda: Grab(desktop, bar).changed(plain, right),
                            timeout=10)

        def press(key, times):
            # Keys typed on the Wine desktop (the program's window hidden).
            for _ in range(times):
                desktop.x("xdotool", "keydown", key)
                time.sleep(0.06)
                desktop.x("xdotool", "keyup", key)
                time.sleep(0.06)
            time.sleep(0.3)

        def away():
            # The pointer off the taskbar: no tip over it.
            desktop.x("xdotool", "mousemove", "--window", shell, "640", "300")

        def menu_item(n, shot=False):
            # Opens the icon's menu (a right click) and clicks its n-th item.
            desktop.x("xdotool", "mousemove", "--window", bar, str(centre[0]), str(centre[1]), "click", "3")
            menu = wait_for("the icon's menu", lambda: (desktop.windows() or [None])[0], timeout=10)
            geometry = desktop.x("xdotool", "getwindowgeometry", menu)
            width, height = [int(v) for v in geometry.split("Geometry:")[1].split()[0].split("x")]
            assert 40 <= height <= 120, "a menu of three items: %dx%d" % (width, height)
            if screenshot and shot:
                desktop.x("import", "-window", shell, screenshot)
            time.sleep(0.3)
            desktop.x("xdotool", "mousemove", "--window", menu, str(width // 2), str(height * (2 * n - 1) // 6),
                      "click", "1")
            wait_for("the menu closed", lambda: menu not in desktop.windows(), timeout=10)
            away()

        icon = minimise()
        assert icon[2] - icon[0] <= 40 and icon[3] - icon[1] <= 40, "an icon's size: %r" % (icon,)
        centre = ((icon[0] + icon[2]) // 2, (icon[1] + icon[3]) // 2)
        shown = Grab(desktop, bar).box(icon)
        desktop.x("xdotool", "mousemove", "--window", bar, str(centre[0]), str(centre[1]))
        time.sleep(0.2)
        desktop.x("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
        away()
        wait_for("the window back after a double-click", lambda: desktop.windows(), timeout=10)
        wait_for("the icon gone", lambda: Grab(desktop, bar).changed(plain, right) is None, timeout=10)

        time.sleep(0.5)
        assert minimise() == icon, "the icon in the same place"
        press("a", 2)  # counted while the window is hidden
        menu_item(2, shot=True)  # 一時停止
        wait_for("the paused icon", lambda: Grab(desktop, bar).box(icon) != shown, timeout=10)
        press("b", 3)  # not counted while paused
        menu_item(2)  # 一時停止 again: counting again
        wait_for("the icon back from the pause", lambda: Grab(desktop, bar).box(icon) == shown, timeout=10)
        menu_item(1)  # 表示
        wait_for("the window back from the menu", lambda: desktop.windows(), timeout=10)
        wait_for("the icon gone", lambda: Grab(desktop, bar).changed(plain, right) is None, timeout=10)

        time.sleep(0.5)
        minimise()
        menu_item(3)  # 終了

        def ended():
            if not alive(pid):
                return True
            for box in desktop.windows():
                # The box that says where the record went: activated with a
                # click on its title bar (it comes up behind the taskbar's
                # focus), answered with Return.
                desktop.x("xdotool", "mousemove", "--window", box, "100", "10", "click", "1", check=False)
                time.sleep(0.3)
                desktop.x("xdotool", "key", "Return", check=False)
                time.sleep(0.5)
            return False
        wait_for("the program to end", ended, timeout=60, step=0.5)
        pid = None
    finally:
        if pid is not None and alive(pid):
            os.kill(pid, 9)
        try:
            shell_proc.wait(20)  # the desktop goes with its last window
        except subprocess.TimeoutExpired:
            shell_proc.kill()
            shell_proc.wait()
    _, rows = read_history(history)
    assert len(rows) == len(rows_before) + 1, "終了 from the icon's menu appended one record"
    check_record(rows[-1], {65: 2, 66: 0})


def test_installer(desktop, wine, setup, zip_program, figures):
    local = os.path.join(wine.user, "AppData", "Local")
    roaming = os.path.join(wine.user, "AppData", "Roaming")
    target = os.path.join(local, "Programs", "Pressory")
    start_menu = os.path.join(roaming, "Microsoft", "Windows", "Start Menu", "Programs")
    setup_copy = os.path.join(wine.env["WINEPREFIX"], "drive_c", os.path.basename(setup))
    shutil.copy2(setup, setup_copy)
    as_nobody(setup_copy)
    t0 = time.monotonic()
    p = wine.start("C:\\" + os.path.basename(setup), "/S")
    assert p.wait(120) == 0, "the silent install failed"
    wait_for("the installed program", lambda: os.path.exists(os.path.join(target, "Uninstall.exe")), timeout=60)
    figures["silent install"] = "%.1f s" % (time.monotonic() - t0)
    for f in ("Pressory.exe", "Qt6Core.dll", "sqlite3.dll", "platforms/qwindows.dll", "Help/Readme.html",
              "translations/qtbase_ja.qm"):
        assert os.path.exists(os.path.join(target, f)), "installed: %s" % f
    assert os.path.exists(os.path.join(start_menu, "Pressory.lnk")), "the Start-menu shortcut"
    # The Startup folder (Wine spells it StartUp).
    startup_folder = [os.path.join(start_menu, n) for n in os.listdir(start_menu) if n.lower() == "startup"]
    assert len(startup_folder) == 1, "one Startup folder: %r" % os.listdir(start_menu)
    startup = os.path.join(startup_folder[0], "Pressory.lnk")
    assert not os.path.exists(startup), "no sign-in shortcut by default"

    # The program's folder read-only (as Program Files is): the files go to %APPDATA%\Pressory.
    run("chmod", "-R", "a-w", target)
    data_folder = os.path.join(roaming, "Pressory")
    exe = "C:\\users\\%s\\AppData\\Local\\Programs\\Pressory\\Pressory.exe" % os.path.basename(wine.user)
    session(desktop, lambda: wine.start(exe), os.path.join(data_folder, "PressoryHistory.csv"), figures,
            "Wine, installed, read-only folder", answer_box=True)
    assert not os.path.exists(os.path.join(target, "PressoryHistory.csv")), "nothing written beside the program"
    run("chmod", "-R", "u+w", target)

    # A person's files in the program's folder (an install into a folder
    # they can write): the uninstaller leaves them, as it leaves %APPDATA%.
    for name in ("PressoryHistory.csv", "Pressory.ini", "PressoryActivity.db"):
        shutil.copy2(os.path.join(zip_program, name), os.path.join(target, name))
    as_nobody(target)
    kept = {os.path.join(target, "PressoryHistory.csv"): open(os.path.join(zip_program, "PressoryHistory.csv"),
                                                             "rb").read(),
            os.path.join(data_folder, "PressoryHistory.csv"): open(os.path.join(data_folder, "PressoryHistory.csv"),
                                                                  "rb").read(),
            os.path.join(data_folder, "PressoryActivity.db"): open(os.path.join(data_folder, "PressoryActivity.db"),
                                                                  "rb").read()}
    uninstaller = "C:\\users\\%s\\AppData\\Local\\Programs\\Pressory\\Uninstall.exe" % os.path.basename(wine.user)
    p = wine.start(uninstaller, "/S")
    p.wait(60)
    # The uninstaller runs on from a copy of itself: the program's files going is the sign.
    wait_for("the program removed", lambda: not os.path.exists(os.path.join(target, "Pressory.exe"))
             and not os.path.exists(os.path.join(target, "Uninstall.exe")), timeout=60)
    left = sorted(os.listdir(target))
    assert left == ["Pressory.ini", "PressoryActivity.db", "PressoryHistory.csv"], \
        "left in the program's folder: %r" % left
    for path, data in kept.items():
        assert open(path, "rb").read() == data, "kept unchanged: %s" % path
    assert not os.path.exists(os.path.join(start_menu, "Pressory.lnk")), "the Start-menu shortcut removed"

    # /STARTUP ticks the sign-in shortcut; the uninstaller removes it too.
    assert wine.start("C:\\" + os.path.basename(setup), "/S", "/STARTUP").wait(120) == 0
    wait_for("the sign-in shortcut", lambda: os.path.exists(startup), timeout=60)
    wine.start(uninstaller, "/S").wait(60)
    wait_for("the sign-in shortcut removed", lambda: not os.path.exists(startup)
             and not os.path.exists(os.path.join(target, "Uninstall.exe")), timeout=60)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--zip", required=True)
    ap.add_argument("--setup", required=True)
    ap.add_argument("--linux", help="the Linux build of the program, for the record and the figures")
    ap.add_argument("--display", type=int, default=int(os.environ.get("PRESSORY_E2E_DISPLAY", "0")) or None,
                    help="the Xvfb display number (PRESSORY_E2E_DISPLAY; a free one when not given)")
    ap.add_argument("--prefix-root", default=None, help="where the Wine prefix is made (a new temporary folder)")
    ap.add_argument("--screenshot", help="PNG of the window under Wine")
    ap.add_argument("--tray-screenshot", help="PNG of the Wine desktop with the icon's menu open")
    args = ap.parse_args()

    figures = {"zip": "%.1f MiB" % (os.path.getsize(args.zip) / 1048576),
               "installer": "%.1f MiB" % (os.path.getsize(args.setup) / 1048576)}
    work = tempfile.mkdtemp(prefix="pressory-wine-", dir=args.prefix_root)
    os.chmod(work, 0o755)
    desktop = Desktop(args.display)
    wine = None
    failed = False
    try:
        wine = Wine(desktop, work)
        figures["Wine prefix made"] = "%.1f s" % wine.boot_seconds
        for name, test in (("zip: starts, counts, records as Linux does", lambda: test_zip(
                               desktop, wine, os.path.abspath(args.zip), args.linux, work, figures, args.screenshot)),
                           ("sound: a key's WAV plays through the system's player", "sound"),
                           ("second start: refused with a box while a copy runs", "second"),
                           ("notification area: minimised behind the icon, back on a double-click; the icon's "
                            "menu's 表示, 一時停止, 終了", "tray"),
                           ("installer: silent install, %APPDATA% when read-only, uninstall leaves the data",
                            "installer")):
            try:
                if test == "sound":
                    figures["null sink peak of a key's sound under Wine"] = "%.3f" % test_sound(
                        desktop, wine, zip_program, work)
                elif test == "second":
                    test_second_start(desktop, wine, zip_program)
                elif test == "tray":
                    test_tray(desktop, wine, zip_program, figures, args.tray_screenshot)
                elif test == "installer":
                    test_installer(desktop, wine, os.path.abspath(args.setup), zip_program, figures)
                else:
                    zip_program = test()
                print("PASS  " + name)
            except Exception as e:  # noqa: BLE001 - each test reports its own failure
                failed = True
                print("FAIL  %s: %s" % (name, e))
                if not isinstance(test, str):
                    break
    finally:
        if wine:
            wine.stop()
        desktop.stop()
        shutil.rmtree(work, ignore_errors=True)
    for k, v in figures.items():
        print("figure: %s: %s" % (k, v))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
