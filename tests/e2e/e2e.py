#!/usr/bin/env python3
"""End-to-end tests of the real Pressory program.

Runs the program under Xvfb with a window manager (openbox) and a notification
area (trayer), in a temporary program folder, and drives it from outside the
way a person does: key presses and clicks through the X test extension
(xdotool), the window manager's view of the window (xprop, xwininfo), and the
bytes of the history and settings files it leaves behind.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
import wave

SCREEN_W, SCREEN_H = 1024, 768

HEADER_FIXED = ["ログアウトの時刻", "マウス", "削除", "Enter", "カーソル",
                "  1", "  2", "  3", "  4", "  5", "合計"]
# The 84 counted keys, ascending by virtual-key code, with their captions.
COUNTED = [
    (1, "Left"), (2, "Right"), (8, "BkSp"), (9, "Tab"), (13, "Enter"), (16, "Shift"),
    (17, "Ctrl"), (18, "Alt"), (19, "Break"), (27, "Esc"), (32, "Space"), (33, "PgUp"),
    (34, "PgDw"), (35, "End"), (36, "Home"), (37, "←"), (38, "↑"), (39, "→"), (40, "↓"),
    (44, "Print"), (45, "Ins"), (46, "Del")] + \
    [(48 + d, str(d)) for d in range(10)] + \
    [(65 + i, chr(65 + i)) for i in range(26)] + \
    [(91, "Win")] + [(112 + i, "F%d" % (i + 1)) for i in range(12)] + \
    [(145, "Scroll"), (186, "*"), (187, "+"), (188, "<"), (189, "-"), (190, ">"), (191, "/"),
     (192, "@"), (219, "["), (220, "\\"), (221, "]"), (222, "^"), (226, "\\")]
assert len(COUNTED) == 84

FIRST_SETTINGS = (b"[FILE]\r\nFileHistoryMaxRow=1\r\n"
                  b"[SOUND]\r\nSoundEnable=0\r\n"
                  b"[COLOR]\r\nColorTextBoxBlink=255\r\nColorBackGround=-2147483633\r\n"
                  b"PictureBackGround=\r\nPictureEnable=0\r\nHeatMap=0\r\n")


def run(*args, check=True, timeout=20, env=None):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                       env=env, text=True)
    if check and r.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(args), r.returncode, r.stderr.strip()))
    return r.stdout


def wait_for(what, fn, timeout=10.0, step=0.05):
    end = time.monotonic() + timeout
    last = None
    while time.monotonic() < end:
        try:
            last = fn()
            if last:
                return last
        except Exception as e:  # noqa: BLE001 - the condition is retried until the time is up
            last = e
        time.sleep(step)
    raise AssertionError("timed out waiting for %s (last: %r)" % (what, last))


class Desktop:
    """Xvfb with openbox and trayer."""

    def __init__(self):
        n = 120
        while os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            n += 1
        self.display = ":%d" % n
        self.procs = []
        self.procs.append(subprocess.Popen(
            ["Xvfb", self.display, "-noreset", "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("Xvfb", lambda: os.path.exists("/tmp/.X11-unix/X%d" % n))
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("SESSION_MANAGER", None)
        # No session bus: the notification area is the XEmbed one of trayer.
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("openbox", lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
                 self.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))

    def start_tray(self):
        self.procs.append(subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
             "--height", "30", "--SetDockType", "true"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("a notification area", lambda: "0x" in self.x(
            "xprop", "-root", "_NET_SYSTEM_TRAY_S0", check=False) or self.tray_owner())

    def tray_owner(self):
        out = self.x("xdotool", "search", "--class", "trayer", check=False).split()
        return out[0] if out else None

    def x(self, *args, check=True):
        return run(*args, check=check, env=self.env)

    def kill_server(self):
        """The display goes away at once, as when its server crashes."""
        self.procs[0].kill()
        self.procs[0].wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()


NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]


def as_user(unprivileged):
    """The command prefix that runs a process without root's power over
    file permissions (nothing when the tests do not run as root)."""
    return NOBODY if unprivileged and os.geteuid() == 0 else []


class Program:
    def __init__(self, desktop, folder, binary, env=None, unprivileged=False):
        self.desktop = desktop
        self.folder = folder
        self.path = os.path.join(folder, "Pressory")
        if not os.path.exists(self.path):
            shutil.copy2(binary, self.path)
        self.extra_env = env or {}
        self.unprivileged = unprivileged
        self.proc = None
        self.wid = None

    def start(self, env=None, wait_window=True):
        self.t0 = time.monotonic()
        env = dict(env or self.desktop.env, **self.extra_env)
        self.proc = subprocess.Popen(as_user(self.unprivileged) + [self.path], cwd="/", env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if not wait_window:
            return self
        self.wid = wait_for("the main window", self.find_main_window, timeout=15)
        self.first_map = time.monotonic() - self.t0
        # Let the timer start and the window manager settle.
        time.sleep(0.5)
        return self

    def find_main_window(self):
        out = self.desktop.x("xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid),
                             "--name", "^Pressory$", check=False).split()
        return out[0] if out else None

    def windows_of(self, pid):
        return self.desktop.x("xdotool", "search", "--onlyvisible", "--pid", str(pid), check=False).split()

    def prop(self, name):
        return self.desktop.x("xprop", "-id", self.wid, name, check=False)

    def frame_extents(self):
        m = re.search(r"= (\d+), (\d+), (\d+), (\d+)", self.prop("_NET_FRAME_EXTENTS"))
        return tuple(int(v) for v in m.groups()) if m else (0, 0, 0, 0)

    def outer_geometry(self):
        info = self.desktop.x("xwininfo", "-id", self.wid)
        ax = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
        ay = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
        w = int(re.search(r"Width:\s+(\d+)", info).group(1))
        h = int(re.search(r"Height:\s+(\d+)", info).group(1))
        left, right, top, bottom = self.frame_extents()
        return (ax - left, ay - top, w + left + right, h + top + bottom)

    def client_size(self):
        info = self.desktop.x("xwininfo", "-id", self.wid)
        return (int(re.search(r"Width:\s+(\d+)", info).group(1)),
                int(re.search(r"Height:\s+(\d+)", info).group(1)))

    def is_viewable(self):
        info = self.desktop.x("xwininfo", "-id", self.wid, check=False)
        return "IsViewable" in info

    def topmost(self):
        return "_NET_WM_STATE_ABOVE" in self.prop("_NET_WM_STATE")

    def focus(self):
        self.desktop.x("xdotool", "windowactivate", "--sync", self.wid, check=False)
        self.desktop.x("xdotool", "windowfocus", "--sync", self.wid, check=False)
        time.sleep(0.2)

    def click_client(self, x, y, button=1):
        self.desktop.x("xdotool", "mousemove", "--window", self.wid, str(x), str(y))
        time.sleep(0.05)
        self.desktop.x("xdotool", "click", str(button))
        time.sleep(0.2)

    def click_resize_button(self):
        # cmdResize: 1440, 240, 350 x 300 twips = 96, 16, 23 x 20 pixels at 96 dpi.
        # In full mode the menu bar stands above the 5340-twip (356-pixel) client area.
        _, ch = self.client_size()
        menu = ch - 356 if ch > 356 else 0
        self.click_client(96 + 11, menu + 16 + 10)
        # A change of frame style may give the window a new native window.
        self.wid = wait_for("the main window after the switch", self.find_main_window)

    def shot(self, artefacts, name):
        os.makedirs(artefacts, exist_ok=True)
        self.desktop.x("import", "-window", "root", os.path.join(artefacts, name))

    def wait_exit(self, timeout=15):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end")

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def stop(self):
        """Stops the program as the system does (SIGTERM) and returns its standard error."""
        self.proc.send_signal(signal.SIGTERM)
        rc = self.wait_exit()
        err = self.proc.stderr.read().decode("utf-8", "replace")
        assert rc == 0, "exit status %d: %s" % (rc, err)
        return err

    @property
    def history_path(self):
        return os.path.join(self.folder, "PressoryHistory.csv")

    @property
    def recovery_path(self):
        return os.path.join(self.folder, "PressoryRecovery.dat")

    @property
    def settings_path(self):
        return os.path.join(self.folder, "Pressory.ini")


def find_box(program, pid, text_hint=None, timeout=10):
    """A message box of the process: a visible window other than the main one."""
    def look():
        for w in program.windows_of(pid):
            if w != program.wid:
                return w
        return None
    return wait_for("a message box", look, timeout=timeout)


def answer_box(program, box):
    program.desktop.x("xdotool", "windowactivate", "--sync", box, check=False)
    time.sleep(0.2)
    program.desktop.x("xdotool", "key", "--window", box, "Return", check=False)
    program.desktop.x("xdotool", "key", "Return", check=False)


def read_history(path):
    data = open(path, "rb").read()
    assert data.endswith(b"\r\n"), "history lines end in CR LF"
    lines = data.split(b"\r\n")[:-1]
    for line in lines:
        assert b"\n" not in line and b"\r" not in line
    return data, [line.decode("cp932").split(",") for line in lines]


def expected_header_bytes():
    return ",".join(HEADER_FIXED + [c for _, c in COUNTED]).encode("cp932") + b"\r\n"


def counts_of(record):
    return {vk: int(record[11 + i]) for i, (vk, _) in enumerate(COUNTED)}


def check_record(record, must):
    assert len(record) == 95, "a record has 95 fields, got %d" % len(record)
    assert re.fullmatch(r"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d", record[0]), record[0]
    counts = counts_of(record)
    total = int(record[10])
    assert total == sum(counts.values()), "the total is the sum of the cells"
    for vk, n in must.items():
        assert counts[vk] == n, "key %d counted %d, expected %d" % (vk, counts[vk], n)
    if total > 0:
        for f in record[1:5]:
            assert re.fullmatch(r"\d+\.\d\d", f), f
    return counts, total


class Skip(Exception):
    """A test that cannot run on this machine; the reason is printed."""


class NullSink:
    """A private PulseAudio server whose only output is a null sink, so that
    what a program plays can be recorded from the sink's monitor."""

    def __init__(self, folder):
        self.folder = folder
        self.runtime = os.path.join(folder, "run")
        os.makedirs(self.runtime, exist_ok=True)
        self.socket = os.path.join(self.runtime, "native")
        with open(os.path.join(folder, "pa.pa"), "w") as f:
            f.write("load-module module-null-sink sink_name=nullsink\n"
                    "load-module module-native-protocol-unix auth-anonymous=1 socket=%s\n"
                    "set-default-sink nullsink\n" % self.socket)
        self.env = {"XDG_RUNTIME_DIR": self.runtime, "PULSE_SERVER": "unix:" + self.socket,
                    "HOME": folder}

    def start(self):
        """Starts the server; raises Skip when PulseAudio cannot run here."""
        for tool in ("pulseaudio", "parec", "pacat", "pactl", "sox"):
            if shutil.which(tool) is None:
                raise Skip("%s is not installed (Debian packages pulseaudio, pulseaudio-utils, sox)" % tool)
        env = dict(os.environ, **self.env)
        r = subprocess.run(["pulseaudio", "-n", "-F", os.path.join(self.folder, "pa.pa"), "--exit-idle-time=-1",
                            "--daemonize=yes", "--use-pid-file=yes"],
                           env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=20)
        try:
            wait_for("the PulseAudio server", lambda: subprocess.run(
                ["pactl", "info"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0,
                timeout=10)
        except AssertionError:
            raise Skip("PulseAudio cannot run on this machine: %s" % (r.stderr.strip() or "no server came up"))
        return self

    def wake(self):
        """A reader of the monitor gets nothing until the sink has had an
        input since the reader connected: a tenth of a second of silence."""
        subprocess.run(["pacat", "--raw", "--format=s16le", "--channels=1", "--rate=44100"], input=bytes(8820),
                       env=self.environment(os.environ), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=10)

    def environment(self, base):
        return dict(base, **self.env)

    def record(self, path):
        """parec on the sink's monitor into a raw file: mono 16-bit 44.1 kHz."""
        with open(path, "wb") as out:
            rec = subprocess.Popen(["parec", "-d", "nullsink.monitor", "--raw", "--format=s16le", "--channels=1",
                                    "--rate=44100", "--latency-msec=5"],
                                   env=self.environment(os.environ), stdout=out, stderr=subprocess.DEVNULL)
        time.sleep(0.2)
        self.wake()
        return rec

    def stop(self):
        subprocess.run(["pulseaudio", "--kill"], env=self.environment(os.environ),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)


def write_wav(path, ms=200, freq=1000.0, amplitude=20000):
    """A mono 44.1 kHz 16-bit tone that starts at full loudness (a sharp onset)."""
    import math
    n = 44100 * ms // 1000
    frames = bytearray()
    for i in range(n):
        v = int(amplitude if math.sin(2 * math.pi * freq * i / 44100) >= 0 else -amplitude)
        frames += v.to_bytes(2, "little", signed=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(bytes(frames))


def max_amplitude(raw_path):
    """sox's maximum amplitude (0 to 1) of a raw mono 16-bit 44.1 kHz recording."""
    if os.path.getsize(raw_path) == 0:
        return 0.0
    r = subprocess.run(["sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "1", raw_path,
                        "-n", "stat"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=30)
    m = re.search(r"Maximum amplitude:\s+(-?[\d.]+)", r.stderr)
    assert m, "sox stat: %s" % r.stderr
    return float(m.group(1))


# --------------------------------------------------------------------------- tests


# --------------------------------------------------------------------------- tests

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


def test_second_start_is_refused(ctx):
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary).start()
    try:
        d.x("xdotool", "key", "c")
        time.sleep(0.2)
        second = subprocess.Popen([p.path], env=d.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        box = find_box(p, second.pid)
        name = d.x("xprop", "-id", box, "WM_NAME")
        assert "Pressory" in name, name
        shots = os.path.join(ctx.artefacts, "refused.png")
        d.x("import", "-window", "root", shots)
        answer_box(p, box)
        assert second.wait(10) == 0
        assert p.proc.poll() is None, "the first copy runs on"
        assert not os.path.exists(p.history_path), "the refused copy writes nothing"
        d.x("xdotool", "key", "c")
        time.sleep(0.2)
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    finally:
        p.kill()
    _, rows = read_history(p.history_path)
    check_record(rows[1], {67: 2})


def test_sigterm_records_without_a_box(ctx):
    d, folder = ctx.desktop, ctx.folder()
    # A settings file of a person: an odd row limit, sound on, a blink colour, comments.
    with open(os.path.join(folder, "Pressory.ini"), "wb") as f:
        f.write(b"; mine\r\n[FILE]\r\nFileHistoryMaxRow=3\r\n[SOUND]\r\nSoundEnable=1\r\n"
                b"Key65=/tmp/a.wav\r\n[COLOR]\r\nColorTextBoxBlink=65280\r\n")
    for run_no in range(2):
        p = Program(d, folder, ctx.binary).start()
        try:
            for _ in range(run_no + 1):
                d.x("xdotool", "key", "--delay", "20", "d")
                time.sleep(0.08)
            time.sleep(0.2)
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0
        finally:
            p.kill()
    _, rows = read_history(p.history_path)
    assert len(rows) == 3, "header and one record per run"
    check_record(rows[1], {68: 1})
    check_record(rows[2], {68: 2})
    settings = open(p.settings_path, "rb").read()
    assert settings.startswith(b"; mine\r\n[FILE]\r\nFileHistoryMaxRow=3\r\n[SOUND]\r\nSoundEnable=-1\r\n"
                               b"Key65=/tmp/a.wav\r\n[COLOR]\r\nColorTextBoxBlink=65280\r\n"), settings
    assert b"ColorBackGround=-2147483633\r\n" in settings
    assert settings.endswith(b"PictureEnable=0\r\nHeatMap=0\r\n")


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


def test_minimise_to_notification_area_and_back(ctx):
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary).start()
    try:
        p.click_resize_button()
        wait_for("full mode", lambda: p.outer_geometry()[2] > 300)
        geometry = p.outer_geometry()
        d.x("xdotool", "windowminimize", "--sync", p.wid, check=False)
        wait_for("the window hidden", lambda: not p.is_viewable())
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
    finally:
        p.kill()
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
    p = Program(d, folder, ctx.binary).start()
    try:
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
    finally:
        p.kill()
    _, rows = read_history(p.history_path)
    assert len(rows) == 2
    check_record(rows[1], {70: 1})


# The 36 letter and digit keys, by keysym, with their virtual-key codes.
FAST_KEYS = [(chr(97 + i), 65 + i) for i in range(26)] + [(str(d), 48 + d) for d in range(10)]


def press_fast(d, keysyms):
    """Presses and releases each key as fast as the X test extension takes them."""
    for i in range(0, len(keysyms), 2000):
        d.x("xdotool", "key", "--delay", "0", *keysyms[i:i + 2000])


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


class AccessibilityBus:
    """A private session bus with the accessibility bus on it, so that the
    program's windows can be read as a screen reader reads them. Used with
    `with`; gives the environment to start the program and the readers in."""

    def __init__(self, ctx, base_env):
        self.env = dict(base_env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                        XDG_RUNTIME_DIR=tempfile.mkdtemp(dir=ctx.tmp))   # the bus puts its socket there
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.procs = []

    def __enter__(self):
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.procs.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                           env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(0.5)
        return self.env

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
        return False


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
        p = Program(d, folder, ctx.binary).start(env)
        try:
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
        finally:
            p.kill()


# --------------------------------------------------------------------------- appearance and help

def window_named(d, pid, name):
    """A visible window of the process whose title (UTF-8) is `name`."""
    for w in d.x("xdotool", "search", "--onlyvisible", "--pid", str(pid), check=False).split():
        title = d.x("xprop", "-id", w, "-notype", "_NET_WM_NAME", check=False)
        if '= "%s"' % name in title:
            return w
    return None


def to_full_mode(p):
    p.click_resize_button()
    wait_for("full mode", lambda: p.outer_geometry()[2] > 300)
    time.sleep(0.3)


def menu_command(p, menu_key, item_key):
    """A menu item by its access keys: Alt+menu, then the item."""
    p.focus()
    p.desktop.x("xdotool", "key", "alt+" + menu_key)
    time.sleep(0.4)
    p.desktop.x("xdotool", "key", item_key)


def client_origin(p):
    info = p.desktop.x("xwininfo", "-id", p.wid)
    return (int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1)),
            int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1)))


def pixel(d, x, y):
    """The colour of one screen pixel as (r, g, b)."""
    out = d.x("convert", "x:root[1x1+%d+%d]" % (x, y), "-depth", "8", "txt:-")
    m = re.search(r"\((\d+),(\d+),(\d+)", out.splitlines()[1])
    return tuple(int(v) for v in m.groups())


def shot_window(d, wid, path):
    """A screenshot of one window with its frame."""
    d.x("import", "-window", wid, "-frame", path)


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

    p = Program(d, folder, ctx.binary).start()
    try:
        to_full_mode(p)
        # The colour dialog: its HTML field (Alt+H), a value, Enter for OK.
        menu_command(p, "v", "c")
        dialog = wait_for("the colour dialog", lambda: window_named(d, p.proc.pid, "Select Color"))
        d.x("xdotool", "windowactivate", "--sync", dialog, check=False)
        time.sleep(0.3)
        d.x("xdotool", "key", "alt+h", "ctrl+a")
        d.x("xdotool", "type", "--delay", "30", "#3366cc")
        d.x("xdotool", "key", "Return")
        wait_for("the colour dialog closed", lambda: not window_named(d, p.proc.pid, "Select Color"))
        # The file dialog: the name typed into its file-name field.
        menu_command(p, "v", "d")
        dialog = wait_for("the file dialog", lambda: window_named(d, p.proc.pid, "Open"))
        d.x("xdotool", "windowactivate", "--sync", dialog, check=False)
        time.sleep(0.3)
        d.x("xdotool", "type", "--delay", "10", picture)
        d.x("xdotool", "key", "Return")
        wait_for("the file dialog closed", lambda: not window_named(d, p.proc.pid, "Open"))
        time.sleep(0.4)
        check_applied(p, "background.png")
        # Stored at close.
        p.focus()
        d.x("xdotool", "key", "ctrl+q")
        answer_box(p, find_box(p, p.proc.pid))
        assert p.wait_exit() == 0
    finally:
        p.kill()
    settings = open(p.settings_path, "rb").read()
    assert b"ColorBackGround=13395507\r\n" in settings, settings
    assert ("PictureBackGround=%s\r\n" % picture).encode() in settings, settings
    assert settings.endswith(b"PictureEnable=-1\r\nHeatMap=0\r\n"), settings

    # Applied at the next start, in both modes.
    p = Program(d, folder, ctx.binary).start()
    try:
        ax, ay = client_origin(p)
        r, g, b = pixel(d, ax + 3, ay + 3)
        assert r > 240 and g > 190, "the picture in the compact window: %r" % ((r, g, b),)
        to_full_mode(p)
        check_applied(p, "background-restarted.png")
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    finally:
        p.kill()


def test_heat_map_tints_the_cells_by_their_share(ctx):
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary).start()
    try:
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
    finally:
        p.kill()
    assert open(p.settings_path, "rb").read().endswith(b"PictureEnable=0\r\nHeatMap=-1\r\n")


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

    p = Program(d, folder, ctx.binary).start(env)
    try:
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
    finally:
        p.kill()

    # No handler at all: the failure is told in a box, and the program goes on.
    empty = tempfile.mkdtemp(dir=ctx.tmp)
    env["PATH"] = empty
    p = Program(d, folder, ctx.binary).start(env)
    try:
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
    finally:
        p.kill()


def find_box_gone(p):
    return all(w == p.wid for w in p.windows_of(p.proc.pid))


def accessible_texts(env, app_name):
    """Names of every object of the program, read as a screen reader does."""
    script = r"""
import sys, pyatspi
def walk(o, out, depth=0):
    if o is None or depth > 40:
        return
    try:
        if o.name:
            out.append(o.name)
        for i in range(o.childCount):
            walk(o.getChildAtIndex(i), out, depth + 1)
    except Exception:
        pass
out = []
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == sys.argv[1]:
        walk(app, out)
print("\n".join(out))
"""
    return run("/usr/bin/python3", "-c", script, app_name, env=env, timeout=30).splitlines()


def test_version_window(ctx):
    d, folder = ctx.desktop, ctx.folder()
    # A private session bus with the accessibility bus, to read the window's texts.
    with AccessibilityBus(ctx, d.env) as env:
        p = Program(d, folder, ctx.binary).start(env)
        try:
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
        finally:
            p.kill()


# --------------------------------------------------------------------------- history viewer

def press_button_named(env, app_name, name):
    """Presses a push button of the program through the accessibility bus."""
    script = r"""
import sys, pyatspi
def walk(o, depth=0):
    if o is None or depth > 40:
        return False
    if o.getRoleName() == "push button" and o.name == sys.argv[2]:
        o.queryAction().doAction(0)
        return True
    return any(walk(o.getChildAtIndex(i), depth + 1) for i in range(o.childCount))
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == sys.argv[1] and walk(app):
        print("pressed")
"""
    return "pressed" in run("/usr/bin/python3", "-c", script, app_name, name, env=env, timeout=30, check=False)


def test_history_viewer_shows_the_newest_records(ctx):
    d, folder = ctx.desktop, ctx.folder()
    # Two recorded periods: one A, then two B.
    for keys in (["a"], ["b", "b"]):
        p = Program(d, folder, ctx.binary).start()
        try:
            for key in keys:
                d.x("xdotool", "key", key)
                time.sleep(0.05)
            time.sleep(0.3)
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0
        finally:
            p.kill()
        time.sleep(1.1)   # the two records get different time stamps
    _, rows = read_history(p.history_path)
    assert len(rows) == 3

    with AccessibilityBus(ctx, d.env) as env:
        p = Program(d, folder, ctx.binary).start(env)
        try:
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
            # Counting goes on while the viewer is open.
            for _ in range(3):
                d.x("xdotool", "key", "x")
                time.sleep(0.05)
            assert press_button_named(env, "Pressory", "OK"), "the viewer's OK button"
            wait_for("the viewer closed by OK", lambda: not window_named(d, p.proc.pid, "履歴"))
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0
        finally:
            p.kill()
    _, rows = read_history(p.history_path)
    assert len(rows) == 4
    check_record(rows[3], {88: 3})


# --------------------------------------------------------------------------- statistics window

# Presses per thousand of a working day's typing, by key (letters as in English text).
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
        p = Program(d, folder, ctx.binary).start(env)
        try:
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
        finally:
            p.kill()


def test_key_sound_plays_on_a_null_sink(ctx):
    d, folder = ctx.desktop, ctx.folder()
    sink = NullSink(tempfile.mkdtemp(dir=ctx.tmp)).start()
    saved_env = d.env
    try:
        d.env = sink.environment(saved_env)
        wav = os.path.join(folder, "tone.wav")
        write_wav(wav)
        levels = {}
        for enabled in (-1, 0):
            with open(os.path.join(folder, "Pressory.ini"), "wb") as f:
                f.write(b"[SOUND]\r\nSoundEnable=%d\r\nKey65=%s\r\n" % (enabled, wav.encode()))
            p = Program(d, folder, ctx.binary).start()
            raw = os.path.join(folder, "sink-%d.raw" % enabled)
            rec = sink.record(raw)
            try:
                time.sleep(0.5)
                for _ in range(3):
                    d.x("xdotool", "key", "--delay", "30", "a")
                    time.sleep(0.4)
                rec.terminate()
                rec.wait(5)
                p.proc.send_signal(signal.SIGTERM)
                assert p.wait_exit() == 0
            finally:
                if rec.poll() is None:
                    rec.kill()
                p.kill()
            levels[enabled] = max_amplitude(raw)
            assert os.path.getsize(raw) > 44100, "the monitor was recorded (%d bytes)" % os.path.getsize(raw)
        ctx.figures["null sink peak with sound on / off"] = "%.3f / %.3f" % (levels[-1], levels[0])
        assert levels[-1] > 0.3, "a press with sound on is heard: peak %.3f" % levels[-1]
        assert levels[0] < 0.001, "sound off plays nothing: peak %.3f" % levels[0]
        _, rows = read_history(p.history_path)
        check_record(rows[1], {65: 3})
        check_record(rows[2], {65: 3})
    finally:
        d.env = saved_env
        sink.stop()


def test_sound_settings_window(ctx):
    d, folder = ctx.desktop, ctx.folder()
    with open(os.path.join(folder, "Pressory.ini"), "wb") as f:
        f.write(b"[SOUND]\r\nKey65=/home/user/sounds/click.wav\r\nKey13=/home/user/sounds/enter.wav\r\n")
    p = Program(d, folder, ctx.binary).start()
    try:
        p.click_resize_button()
        wait_for("full mode", lambda: p.outer_geometry()[2] > 300)
        p.focus()
        d.x("xdotool", "key", "alt+s")
        time.sleep(0.3)
        d.x("xdotool", "key", "f")
        dialog = find_box(p, p.proc.pid)
        assert "音声設定" in d.x("xprop", "-id", dialog, "WM_NAME"), "the window's caption"
        time.sleep(0.5)
        os.makedirs(ctx.artefacts, exist_ok=True)
        d.x("import", "-window", dialog, os.path.join(ctx.artefacts, "sound-settings.png"))
        # Escape does not close it; the cancel button does (9960, 5160 twips: 664, 344 px).
        d.x("xdotool", "key", "--window", dialog, "Escape")
        time.sleep(0.3)
        assert dialog in p.windows_of(p.proc.pid), "Esc leaves the window open"
        d.x("xdotool", "mousemove", "--window", dialog, "700", "355", "click", "1")
        wait_for("the window closed", lambda: dialog not in p.windows_of(p.proc.pid))
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    finally:
        p.kill()
    assert b"Key65=/home/user/sounds/click.wav\r\n" in open(p.settings_path, "rb").read()


# --------------------------------------------------------------------------- the period is never lost

ATSPI_BOX_TEXTS = r"""
import pyatspi
desktop = pyatspi.Registry.getDesktop(0)
texts = []
def walk(node, depth=0):
    if node is None or depth > 8:
        return
    if node.getRoleName() == "label" and node.name:
        texts.append(node.name)
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app is None or app.name != "Pressory":
        continue
    for j in range(app.childCount):
        w = app.getChildAtIndex(j)
        if w is not None and w.getRoleName() in ("alert", "dialog"):
            walk(w)
print("\x1e".join(texts))
"""


class ScreenReader:
    """A private session bus with the accessibility bus, for reading the texts
    of the program's message boxes as a screen reader does. Programs started
    with `env` report to it; `unprivileged` runs it as the program's user."""

    def __init__(self, ctx, desktop, unprivileged=False):
        self.prefix = as_user(unprivileged)
        runtime = tempfile.mkdtemp(dir=ctx.tmp)   # the accessibility bus puts its socket there
        os.chmod(runtime, 0o700)
        if self.prefix:
            os.chown(runtime, 65534, 65534)
        base = dict(desktop.env, XDG_RUNTIME_DIR=runtime, HOME=runtime)
        self.bus = subprocess.Popen(self.prefix + ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    env=base, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        address = self.bus.stdout.readline().strip()
        self.env = dict(base, DBUS_SESSION_BUS_ADDRESS=address, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.launcher = subprocess.Popen(self.prefix + ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                         env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def program_env(self):
        return {k: self.env[k] for k in ("DBUS_SESSION_BUS_ADDRESS", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON",
                                         "XDG_RUNTIME_DIR")}

    def box_texts(self):
        """The texts of the open message boxes, once there is one."""
        def read():
            out = run(*(self.prefix + ["/usr/bin/python3", "-c", ATSPI_BOX_TEXTS]), env=self.env, timeout=30)
            texts = [t for t in out.rstrip("\n").split("\x1e") if t]
            return texts or None
        return wait_for("the box's text over AT-SPI", read, timeout=20, step=0.5)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for p in (self.launcher, self.bus):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()


def press_keys(d, keys, delay_ms=40):
    """Presses each key once, through the X test extension."""
    d.x("xdotool", "key", "--delay", str(delay_ms), *keys)
    time.sleep(0.3)


def read_recovery(path):
    """The total and the counts by virtual-key code of a recovery file."""
    fields = dict(line.split(" ", 1) for line in open(path, "rb").read().decode("ascii").splitlines())
    return int(fields["total"]), [int(v) for v in fields["counts"].split(",")]


def dialogs_of(p, pid):
    """The visible message boxes of a process: its windows of the dialog type
    (the main window may have a new native window by now, under the same name)."""
    return [w for w in p.windows_of(pid)
            if "_NET_WM_WINDOW_TYPE_DIALOG" in p.desktop.x("xprop", "-id", w, "_NET_WM_WINDOW_TYPE", check=False)]


def find_dialog(p, pid=None, timeout=10):
    return wait_for("a message box", lambda: (dialogs_of(p, pid or p.proc.pid) or [None])[0], timeout=timeout)


def answer_until_gone(p, box, tries=3):
    """Answers a box, again if a loaded desktop let the first Return go astray."""
    for _ in range(tries):
        answer_box(p, box)
        try:
            wait_for("the box closed", lambda: box not in dialogs_of(p, p.proc.pid), timeout=3)
            return
        except AssertionError:
            pass
    raise AssertionError("the box %s stays open" % box)


def no_box(p, seconds=1.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        others = dialogs_of(p, p.proc.pid)
        assert not others, "an unexpected box: %r" % others
        time.sleep(0.1)


def test_display_loss_records_the_period_and_writes_the_settings(ctx):
    folder = ctx.folder()
    with Desktop() as d:   # a desktop of its own: its server is killed
        p = Program(d, folder, ctx.binary).start()
        try:
            press_keys(d, ["a"] * 10 + ["b"] * 10)
            d.kill_server()
            t = time.monotonic()
            p.wait_exit(timeout=10)   # the window system chooses the exit status
            ctx.figures["program ended after the display went away (s)"] = round(time.monotonic() - t, 3)
        finally:
            p.kill()
    data, rows = read_history(p.history_path)
    assert data.startswith(expected_header_bytes())
    assert len(rows) == 2, "one record: %r" % rows
    _, total = check_record(rows[1], {65: 10, 66: 10})
    assert total == 20, total
    assert open(p.settings_path, "rb").read() == FIRST_SETTINGS
    assert not os.path.exists(p.recovery_path), "recorded: nothing left to recover"


def test_killed_program_is_recorded_at_the_next_start(ctx):
    d, folder = ctx.desktop, ctx.folder()
    p = Program(d, folder, ctx.binary).start()
    try:
        press_keys(d, ["g"] * 20)
        last_press = time.time()
        time.sleep(61)   # the first press was written at once, the rest a minute later
        total, counts = read_recovery(p.recovery_path)
        assert total == 20 and counts[71] == 20, (total, counts[71])
        p.proc.kill()
        p.proc.wait()
    finally:
        p.kill()
    assert not os.path.exists(p.history_path)

    again = Program(d, folder, ctx.binary).start()
    try:
        # Recorded at the start, before the new period counts anything.
        _, rows = read_history(again.history_path)
        assert len(rows) == 2, rows
        check_record(rows[1], {71: 20})
        assert int(rows[1][10]) == 20
        stamp = time.mktime(time.strptime(rows[1][0], "%Y/%m/%d %H:%M:%S"))
        assert abs(stamp - last_press) < 3, "stamped with the last activity: %s" % rows[1][0]
        assert not os.path.exists(again.recovery_path)
        no_box(again)   # nobody is asked
        press_keys(d, ["h"])
        again.stop()
    finally:
        again.kill()
    _, rows = read_history(again.history_path)
    assert len(rows) == 3
    check_record(rows[2], {71: 0, 72: 1})


def test_history_without_its_last_line_end(ctx):
    d, folder = ctx.desktop, ctx.folder()
    old = "2024/01/02 03:04:05" + "," * 9 + ",0" + ",0" * 84
    with open(os.path.join(folder, "PressoryHistory.csv"), "wb") as f:
        f.write(expected_header_bytes() + old.encode("cp932"))   # cut off before its CR LF
    p = Program(d, folder, ctx.binary).start()
    try:
        press_keys(d, ["i", "i"])
        p.stop()
    finally:
        p.kill()
    data, rows = read_history(p.history_path)
    assert len(rows) == 3, "header and two whole records: %r" % data[-400:]
    assert ",".join(rows[1]) == old
    check_record(rows[1], {})
    check_record(rows[2], {73: 2})


def test_second_copy_with_another_tmpdir_is_refused(ctx):
    d, folder = ctx.desktop, ctx.folder()
    tmp_a, tmp_b = tempfile.mkdtemp(dir=ctx.tmp), tempfile.mkdtemp(dir=ctx.tmp)
    p = Program(d, folder, ctx.binary, env={"TMPDIR": tmp_a}).start()
    with ScreenReader(ctx, d) as reader:
        second = Program(d, folder, ctx.binary, env=dict(reader.program_env(), TMPDIR=tmp_b))
        try:
            press_keys(d, ["j"])
            second.start(wait_window=False)
            box = find_dialog(p, second.proc.pid)
            lock = os.path.join(folder, "Pressory.lock")
            assert reader.box_texts() == ["既に起動しています。\n別の Pressory が動いていないときは、"
                                          "次のファイルを削除してから起動してください:\n" + lock]
            second.wid = "none"
            answer_box(p, box)
            assert second.wait_exit(10) == 0
            assert not second.windows_of(second.proc.pid)
            assert p.proc.poll() is None, "the first copy runs on"
            assert os.path.exists(os.path.join(folder, "Pressory.lock")), "the lock is beside the files"
            left = [n for n in os.listdir(tmp_a) + os.listdir(tmp_b) if "ressory" in n or "lock" in n]
            assert not left, "no lock in either TMPDIR: %r" % left
            press_keys(d, ["j"])
            p.stop()
        finally:
            second.kill()
            p.kill()
    _, rows = read_history(p.history_path)
    assert len(rows) == 2, "one record: the refused copy wrote nothing"
    check_record(rows[1], {74: 2})


def test_unusable_tmpdir_does_not_stop_the_start(ctx):
    d, folder = ctx.desktop, ctx.folder()
    for n, tmpdir in enumerate(["/nonexistent/pressory-tmp", os.path.join(ctx.tmp, "a-file")]):
        open(os.path.join(ctx.tmp, "a-file"), "w").close()
        p = Program(d, folder, ctx.binary, env={"TMPDIR": tmpdir}).start()
        try:
            no_box(p)   # no "already running", no warning
            press_keys(d, ["k"] * (n + 1))
            p.stop()
        finally:
            p.kill()
    _, rows = read_history(p.history_path)
    assert len(rows) == 3
    check_record(rows[1], {75: 1})
    check_record(rows[2], {75: 2})


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


def test_read_only_program_folder_is_told_at_the_start(ctx):
    d, folder = ctx.desktop, ctx.folder()
    os.chmod(ctx.tmp, 0o755)   # the program's user reaches its folder
    p = Program(d, folder, ctx.binary, unprivileged=True)
    os.chmod(folder, 0o555)
    try:
        with ScreenReader(ctx, d, unprivileged=True) as reader:
            p.extra_env = reader.program_env()
            p.start()
            box = find_dialog(p)
            time.sleep(0.3)
            texts = reader.box_texts()
            p.shot(ctx.artefacts, "read-only-folder.png")
            text = next((t for t in texts if "PressoryHistory.csv" in t), None)
            assert text, texts
            assert os.path.join(folder, "PressoryHistory.csv") + " に書き込めません。\n" in text, text
            assert os.path.join(folder, "Pressory.ini") + " に書き込めません。\n" in text, text
            assert "アクセスが拒否されました。" in text, text
            answer_until_gone(p, box)
            no_box(p)   # one box, not one per file
            press_keys(d, ["m"])
            err = p.stop()
            assert "PressoryHistory.csv に記録できませんでした。" in err, err
    finally:
        p.kill()
        os.chmod(folder, 0o755)
    assert not os.path.exists(p.history_path)


def test_files_moved_to_the_user_folder_are_told_once(ctx):
    d, folder = ctx.desktop, ctx.folder()
    os.chmod(ctx.tmp, 0o755)   # the program's user reaches its folder
    data = tempfile.mkdtemp(dir=ctx.tmp)
    os.chmod(data, 0o777)
    user = os.path.join(data, "Pressory")
    p = Program(d, folder, ctx.binary, unprivileged=True)
    with open(os.path.join(folder, "Pressory.ini"), "w") as f:
        f.write("[FILE]\nMaxRow=50\n")
    os.chmod(folder, 0o555)
    try:
        with ScreenReader(ctx, d, unprivileged=True) as reader:
            p.extra_env = dict(reader.program_env(), XDG_DATA_HOME=data)
            p.start()
            box = find_dialog(p)
            time.sleep(0.3)
            assert reader.box_texts() == [
                "プログラムのフォルダーに書き込めないため、履歴と設定のファイルは次のフォルダーに置きます:\n" + user +
                "\nこれまでの履歴と設定は、そのフォルダーへコピーしました。"]
            answer_until_gone(p, box)
            no_box(p)
            p.stop()
            p.start()   # the next start has nothing to tell
            no_box(p)
            p.stop()
    finally:
        p.kill()
        os.chmod(folder, 0o755)
    assert "MaxRow=50" in open(os.path.join(user, "Pressory.ini")).read()


class Context:
    def __init__(self, binary, artefacts):
        self.binary = binary
        self.artefacts = artefacts
        self.tmp = tempfile.mkdtemp(prefix="pressory-e2e-")
        self.figures = {}
        self.desktop = None
        self.version = project_version()

    def folder(self):
        return tempfile.mkdtemp(dir=self.tmp)


def project_version():
    """The version set in the top CMakeLists.txt."""
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "CMakeLists.txt")
    return re.search(r"project\(Pressory VERSION (\d+\.\d+\.\d+)", open(top).read()).group(1)


def main(namespace=None):
    """Runs the tests of `namespace` (this module's when not given)."""
    namespace = globals() if namespace is None else namespace
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", required=True)
    ap.add_argument("--artefacts", required=True)
    ap.add_argument("-k", default="")
    args = ap.parse_args()
    if not os.path.exists(args.program):
        print("no program at %s" % args.program)
        print("0 passed, 1 failed")
        return 1
    ctx = Context(args.program, args.artefacts)
    ctx.desktop = Desktop()
    ctx.desktop.start_tray()
    tests = [(n, f) for n, f in sorted(namespace.items(), key=lambda kv: kv[1].__code__.co_firstlineno
                                        if callable(kv[1]) and hasattr(kv[1], "__code__") else 0)
             if n.startswith("test_") and args.k in n]
    passed = failed = skipped = 0
    try:
        for name, fn in tests:
            t = time.monotonic()
            try:
                fn(ctx)
                passed += 1
                print("PASS %s (%.1f s)" % (name, time.monotonic() - t), flush=True)
            except Skip as why:
                skipped += 1
                print("SKIP %s: %s" % (name, why), flush=True)
            except Exception:  # noqa: BLE001 - every failure is reported and counted
                failed += 1
                print("FAIL %s" % name, flush=True)
                traceback.print_exc()
                try:
                    os.makedirs(ctx.artefacts, exist_ok=True)
                    ctx.desktop.x("import", "-window", "root",
                                  os.path.join(ctx.artefacts, "failed-%s.png" % name), check=False)
                except Exception:  # noqa: BLE001
                    pass
    finally:
        ctx.desktop.stop()
        shutil.rmtree(ctx.tmp, ignore_errors=True)
    for k, v in ctx.figures.items():
        print("figure: %s = %s" % (k, v))
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    if passed + failed + skipped == 0:
        print("no test matched: nothing was run")
        return 1
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
