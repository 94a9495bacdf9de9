#!/usr/bin/env python3
"""End-to-end tests. A Wayland session: a real compositor (sway, headless,
with XWayland), the program started as in a Wayland desktop session with Qt's
Wayland platform installed, keys typed into an X11 client (xdotool, through
XWayland) and into a native Wayland client (wtype into foot). sway refuses to
run as root: the compositor, the program and the tools run as nobody."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import *  # noqa: E402,F401,F403

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGING = os.path.join(HERE, "..", "..", "packaging", "linux")
NEEDED = ["sway", "Xwayland", "wtype", "foot", "dbus-daemon", "setpriv"]

# The labels and buttons of the program's message boxes, read and pressed as
# a screen reader does: "read" prints the labels, "press NAME" presses a
# button, "menu NAME" triggers the menu item whose name begins so.
ATSPI_BOXES = r"""
import sys, pyatspi
def boxes():
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.name != "Pressory":
            continue
        for w in app:
            if w is not None and w.getRoleName() in ("alert", "dialog"):
                yield w
def walk(node, depth=0):
    if node is None or depth > 8:
        return
    yield node
    for child in node:
        yield from walk(child, depth + 1)
if sys.argv[1] == "read":
    print("\x1e".join(n.name for b in boxes() for n in walk(b) if n.getRoleName() == "label" and n.name))
elif sys.argv[1] == "menu":
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Pressory":
            for n in walk(app, -30):
                if n.getRoleName() == "menu item" and n.name.startswith(sys.argv[2]):
                    print("pressed", flush=True)
                    n.queryAction().doAction(0)  # a modal window: no answer until it closes
                    sys.exit(0)
else:
    for b in boxes():
        for n in walk(b):
            if n.getRoleName() == "push button" and n.name == sys.argv[2]:
                n.queryAction().doAction(0)
                print("pressed")
                sys.exit(0)
"""


class Sway:
    """sway on the headless backend with XWayland, its session bus and the
    accessibility bus, all as the unprivileged user."""

    def __init__(self, ctx):
        missing = [n for n in NEEDED if shutil.which(n) is None]
        assert not missing, "missing (scripts/deps.sh installs them): %s" % " ".join(missing)
        self.user = as_user(True)
        os.chmod(ctx.tmp, 0o755)
        self.root = tempfile.mkdtemp(dir=ctx.tmp)
        os.chmod(self.root, 0o755)
        self.runtime = os.path.join(self.root, "run")
        self.home = os.path.join(self.root, "home")
        for d in (self.runtime, self.home):
            os.mkdir(d, 0o700)
            self._own(d)
        config = os.path.join(self.home, "config")
        with open(config, "w") as f:
            f.write("xwayland force\n"
                    "output HEADLESS-1 resolution 1024x768\n"
                    "exec sh -c 'echo \"$DISPLAY\" > \"$HOME/display.tmp\" && mv \"$HOME/display.tmp\" \"$HOME/display\"'\n")
        self._own(config)
        self.env = {"HOME": self.home, "XDG_RUNTIME_DIR": self.runtime, "PATH": "/usr/bin:/bin",
                    "LANG": "C.UTF-8"}
        self.procs = []
        self.procs.append(subprocess.Popen(
            self.user + ["sway", "-c", config], cwd="/", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            env=dict(self.env, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")))
        display_file = os.path.join(self.home, "display")
        wait_for("sway and XWayland", lambda: os.path.exists(display_file), timeout=20)
        self.env["DISPLAY"] = open(display_file).read().strip()
        self.env["WAYLAND_DISPLAY"] = [n for n in os.listdir(self.runtime)
                                       if n.startswith("wayland-") and not n.endswith(".lock")][0]
        bus = subprocess.Popen(self.user + ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               cwd="/", env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.procs.append(subprocess.Popen(self.user + ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                           cwd="/", env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL))
        time.sleep(0.5)

    def _own(self, path):
        if self.user:
            os.chown(path, 65534, 65534)

    def run(self, *args, env=None, check=True):
        return harness.run(*(self.user + list(args)), env=dict(self.env, **(env or {})), check=check, timeout=30)

    def start(self, *args, env=None, log=None):
        proc = subprocess.Popen(self.user + list(args), cwd="/", env=dict(self.env, **(env or {})),
                                stdout=log or subprocess.DEVNULL, stderr=subprocess.STDOUT if log else subprocess.DEVNULL)
        self.procs.append(proc)
        return proc

    def x_windows(self, pid):
        return self.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid), "--name", "^Pressory$",
                        check=False).split()

    def box_labels(self):
        def read():
            texts = [t for t in self.run("/usr/bin/python3", "-c", ATSPI_BOXES, "read").rstrip("\n").split("\x1e") if t]
            return texts or None
        return wait_for("a box's labels over AT-SPI", read, timeout=20, step=0.5)

    def press_box_button(self, name):
        return wait_for("the button %s" % name, lambda: "pressed" in self.run(
            "/usr/bin/python3", "-c", ATSPI_BOXES, "press", name, check=False), timeout=10, step=0.5)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        return False


def installed_program(ctx, sway):
    """The program as a package lays it out (bin/, libexec/pressory/,
    share/pressory/), writable by the user, with a pkexec that only writes
    down what it was asked to run. Returns (program, helper, pkexec log)."""
    prefix = os.path.join(sway.root, "prefix")
    for sub in ("bin", "libexec/pressory", "share/pressory", "tools"):
        os.makedirs(os.path.join(prefix, sub))
    program = os.path.join(prefix, "bin", "Pressory")
    shutil.copy2(ctx.binary, program)
    helper = os.path.join(prefix, "libexec", "pressory", "pressory-input-access")
    shutil.copy2(os.path.join(PACKAGING, "pressory-input-access"), helper)
    shutil.copy2(os.path.join(PACKAGING, "70-pressory-uaccess.rules"), os.path.join(prefix, "share", "pressory"))
    log = os.path.join(prefix, "pkexec.log")
    pkexec = os.path.join(prefix, "tools", "pkexec")
    with open(pkexec, "w") as f:
        f.write("#!/bin/sh\necho \"$@\" >> '%s'\n" % log)
    os.chmod(pkexec, 0o755)
    for d, _, names in os.walk(prefix):
        sway._own(d)
        for n in names:
            sway._own(os.path.join(d, n))
    return program, helper, log


def history_counts(folder):
    _, rows = read_history(os.path.join(folder, "PressoryHistory.csv"))
    return rows


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    assert proc.wait(15) == 0, "the program did not end cleanly"


def test_wayland_window_on_xwayland_counts_x11_clients_and_offers_the_devices(ctx):
    with Sway(ctx) as sway:
        program, helper, pkexec_log = installed_program(ctx, sway)
        folder = os.path.join(sway.home, ".local", "share", "Pressory")  # an installed program's files
        session = {"XDG_SESSION_TYPE": "wayland", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                   "PATH": os.path.join(os.path.dirname(os.path.dirname(program)), "tools") + ":/usr/bin:/bin"}
        p = sway.start(program, env=session)
        # The window is an X11 window, on XWayland.
        wait_for("the main window on XWayland", lambda: sway.x_windows(p.pid), timeout=20)

        # The notice: what is not seen, and the offer with what it allows and how to undo it.
        labels = "\n".join(sway.box_labels())
        assert "Wayland のアプリケーションでの押下は数えられません" in labels, labels
        assert "X11 のプログラムは、今でもそうです" in labels, labels
        assert "pkexec %s disable" % os.path.realpath(helper) in labels, labels
        sway.press_box_button("すべてのキーを数える")
        wait_for("the helper run through pkexec", lambda: os.path.exists(pkexec_log) and open(pkexec_log).read())
        assert open(pkexec_log).read().split() == [os.path.realpath(helper), "enable"]

        # The About window says which source counts.
        sway.start("/usr/bin/python3", "-c", ATSPI_BOXES, "menu", "バージョン情報")
        wait_for("the About window", lambda: any("キーの読み取り" in t for t in sway.box_labels()), timeout=20)
        assert "キーの読み取り: X11 (XWayland のアプリケーションのみ)" in sway.box_labels()
        sway.press_box_button("OK")

        # Keys typed into an X11 client are counted (this machine has no
        # input devices, so X11 still counts after the helper ran).
        time.sleep(0.5)
        sway.run("xdotool", "key", "--delay", "40", "w", "w")
        # Keys typed into a native Wayland client are not.
        typed = os.path.join(sway.home, "typed")
        sway.start("foot", "sh", "-c", "cat > '%s'" % typed)
        wait_for("foot", lambda: os.path.exists(typed), timeout=20)
        time.sleep(0.5)

        def typed_into_foot():
            sway.run("wtype", "qqq\n")
            time.sleep(0.3)
            return "q" in open(typed).read()
        wait_for("wtype's keys in foot", typed_into_foot, timeout=15, step=0.2)
        stop(p)
        rows = history_counts(folder)
        check_record(rows[1], {87: 2, 81: 0})


def test_wayland_window_when_the_person_chose_it_and_x11_still_counts(ctx):
    with Sway(ctx) as sway:
        program, _, _ = installed_program(ctx, sway)
        folder = os.path.join(sway.home, ".local", "share", "Pressory")
        log = open(os.path.join(sway.root, "program.log"), "w+")
        p = sway.start(program, env={"XDG_SESSION_TYPE": "wayland", "QT_QPA_PLATFORM": "wayland",
                                     "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}, log=log)
        labels = "\n".join(sway.box_labels())
        assert "ウィンドウを Wayland で表示しているため" in labels, labels
        assert "X11 のアプリケーションに入力したキーの押下だけを数えます" in labels, labels
        assert not sway.x_windows(p.pid), "the window is a Wayland window"
        # The key source has its own connection to $DISPLAY.
        sway.run("xdotool", "key", "--delay", "40", "w", "w", "w")
        time.sleep(0.5)
        stop(p)
        log.seek(0)
        assert os.path.exists(os.path.join(folder, "PressoryHistory.csv")), log.read()
        check_record(history_counts(folder)[1], {87: 3})


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
