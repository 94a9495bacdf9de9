#!/usr/bin/env python3
"""What the end-to-end tests share: the desktop, the program, and helpers.

Runs the program under Xvfb with a window manager (openbox) and a notification
area (trayer), in a temporary program folder, and drives it from outside the
way a person does: key presses and clicks through the X test extension
(xdotool), the window manager's view of the window (xprop, xwininfo), and the
bytes of the history and settings files it leaves behind.
"""
import argparse
import contextlib
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
        # The first display number to try (PRESSORY_E2E_DISPLAY: where a
        # shared machine gives this run its own numbers).
        n = int(os.environ.get("PRESSORY_E2E_DISPLAY", "120"))
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
        # --all: this process's window of that name (without it xdotool takes
        # any window of the process or any window of that name).
        out = self.desktop.x("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
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


@contextlib.contextmanager
def running(ctx, folder=None, desktop=None, start_env=None, wait_window=True, **program_args):
    """The program started in `folder` (a new one when not given) on the
    shared desktop (or `desktop`), with `start_env` in place of the desktop's
    environment when given, and ended whatever the test did: the one way the
    tests start and stop it. `program_args` go to Program (env: variables
    added, unprivileged)."""
    p = Program(desktop or ctx.desktop, folder or ctx.folder(), ctx.binary, **program_args).start(
        start_env, wait_window=wait_window)
    try:
        yield p
    finally:
        p.kill()


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


FAST_KEYS = [(chr(97 + i), 65 + i) for i in range(26)] + [(str(d), 48 + d) for d in range(10)]


def press_fast(d, keysyms):
    """Presses and releases each key as fast as the X test extension takes them."""
    for i in range(0, len(keysyms), 2000):
        d.x("xdotool", "key", "--delay", "0", *keysyms[i:i + 2000])


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


def hide_full_window(p):
    """The full window minimised, which hides it in the notification area;
    returns its place before."""
    p.click_resize_button()
    wait_for("full mode", lambda: p.outer_geometry()[2] > 300)
    geometry = p.outer_geometry()
    p.desktop.x("xdotool", "windowminimize", "--sync", p.wid, check=False)
    wait_for("the window hidden", lambda: not p.is_viewable())
    return geometry


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


def do_action_named(env, app_name, role, name):
    """Does the first action (press, select) of the program's first object of
    that role and name, through the accessibility bus; True when one was found."""
    script = r"""
import sys, pyatspi
def walk(o, depth=0):
    if o is None or depth > 40:
        return False
    if o.getRoleName() == sys.argv[2] and o.name == sys.argv[3]:
        o.queryAction().doAction(0)
        return True
    return any(walk(o.getChildAtIndex(i), depth + 1) for i in range(o.childCount))
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == sys.argv[1] and walk(app):
        print("done")
"""
    return "done" in run("/usr/bin/python3", "-c", script, app_name, role, name, env=env, timeout=30, check=False)


def press_button_named(env, app_name, name):
    """Presses a push button of the program through the accessibility bus."""
    return do_action_named(env, app_name, "push button", name)


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


def main(namespaces):
    """Runs the tests of one module's namespace, or of a list of them in
    that order, each module's tests in the order they are written."""
    if isinstance(namespaces, dict):
        namespaces = [namespaces]
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
    tests = []
    for namespace in namespaces:
        found = [(n, f) for n, f in namespace.items() if n.startswith("test_") and callable(f) and args.k in n]
        tests += sorted(found, key=lambda nf: nf[1].__code__.co_firstlineno)
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
