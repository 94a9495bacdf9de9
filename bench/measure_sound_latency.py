#!/usr/bin/env python3
"""Key press to first sound sample, measured end to end, and the CPU cost of
key sounds.

The real program runs under Xvfb with sound on and a WAV with a sharp onset
assigned to A, playing into a private PulseAudio server whose only output is
a null sink. parec reads the sink's monitor continuously with a 5 ms latency
request; every chunk read is noted with the time it arrived, which ties the
sample count to the clock. A press of A is injected through the X test
extension (XTestFakeKeyEvent + XSync, from this process); the latency is the
distance from the press's sample position to the first sample above the
threshold. The reader's own delay makes each figure a little pessimistic;
the same rig measures a sound written into an already running pacat as its
floor.

Usage: bench/measure_sound_latency.py BUILD_DIR [PRESSES] [CPU_SECONDS]
Reports figures; never fails on a time.
"""
import ctypes
import ctypes.util
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
sys.path.insert(0, here)
import harness as e2e  # noqa: E402
from measure_program import cpu_seconds  # noqa: E402

RATE = 44100
THRESHOLD = 2000          # of 32767; the tone is 20000, the null sink's silence is 0
KEYCODE_A = 38            # under Xvfb (evdev + 8)


class Monitor:
    """parec on the null sink's monitor, read continuously in a thread."""

    def __init__(self, sink):
        self.proc = subprocess.Popen(
            ["parec", "-d", "nullsink.monitor", "--raw", "--format=s16le", "--channels=1",
             "--rate=%d" % RATE, "--latency-msec=5"],
            env=sink.environment(os.environ), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=0)
        self.data = bytearray()
        self.marks = []           # (monotonic time of a read, samples read by then)
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        time.sleep(0.2)
        sink.wake()

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 4096)
            if not chunk:
                return
            now = time.monotonic()
            with self.lock:
                self.data += chunk
                self.marks.append((now, len(self.data) // 2))

    def position_at(self, t):
        """The sample position at time t, from the last read before it."""
        with self.lock:
            marks = list(self.marks[-200:])
        before = [m for m in marks if m[0] <= t]
        mt, n = before[-1] if before else marks[0]
        return n + int((t - mt) * RATE)

    def onset_after(self, position, timeout=1.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            with self.lock:
                samples = memoryview(bytes(self.data[position * 2:])).cast("h")
            for i, v in enumerate(samples):
                if v > THRESHOLD or v < -THRESHOLD:
                    return position + i
            time.sleep(0.01)
        return None

    def stop(self):
        self.proc.terminate()
        self.proc.wait(5)


class XTest:
    def __init__(self, display):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        assert self.dpy, "cannot open %s" % display

    def key(self, keycode, down):
        self.xtst.XTestFakeKeyEvent(self.dpy, keycode, 1 if down else 0, 0)
        self.x11.XSync(self.dpy, 0)


def summary(values):
    values = sorted(values)
    p95 = values[min(len(values) - 1, int(round(0.95 * (len(values) - 1))))]
    return "median %.1f ms, 95th percentile %.1f ms, min %.1f, max %.1f (n=%d)" % (
        statistics.median(values), p95, values[0], values[-1], len(values))


def measure_presses(mon, xt, presses):
    latencies = []
    for _ in range(presses):
        time.sleep(0.35)            # the 60 ms tone has ended, the sink is silent
        xt.key(KEYCODE_A, True)
        t = time.monotonic()
        time.sleep(0.03)
        xt.key(KEYCODE_A, False)
        start = mon.position_at(t)
        onset = mon.onset_after(start)
        if onset is not None:
            latencies.append((onset - start) * 1000.0 / RATE)
    return latencies


def measure_floor(sink, mon, wav, presses):
    """The rig itself: the tone written into a pacat that is already running."""
    with open(wav, "rb") as f:
        tone = f.read()[44:]
    pacat = subprocess.Popen(["pacat", "--raw", "--format=s16le", "--channels=1", "--rate=%d" % RATE,
                              "--latency-msec=5"], env=sink.environment(os.environ), stdin=subprocess.PIPE)
    time.sleep(0.5)
    latencies = []
    for _ in range(presses):
        time.sleep(0.35)
        t = time.monotonic()
        pacat.stdin.write(tone)
        pacat.stdin.flush()
        start = mon.position_at(t)
        onset = mon.onset_after(start)
        if onset is not None:
            latencies.append((onset - start) * 1000.0 / RATE)
    pacat.stdin.close()
    pacat.wait(5)
    return latencies


def measure_cpu(desktop, program, seconds):
    keys = ["a", "s", "d", "f", "j", "k", "l", "e", "r", "BackSpace"]
    c0, t0 = cpu_seconds(program.proc.pid), time.monotonic()
    n = 0
    while time.monotonic() - t0 < seconds:
        seq = [keys[(n + i) % len(keys)] for i in range(20)]
        subprocess.run(["xdotool", "key", "--delay", "50"] + seq, env=desktop.env, check=False)
        n += 20
    c1, t1 = cpu_seconds(program.proc.pid), time.monotonic()
    return n / (t1 - t0), 100.0 * (c1 - c0) / (t1 - t0)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    presses = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    cpu_time = float(sys.argv[3]) if len(sys.argv) > 3 else 30.0
    binary = os.path.abspath(os.path.join(build, "src", "app", "Pressory"))
    tmp = tempfile.mkdtemp(prefix="pressory-sound-")
    sink = e2e.NullSink(os.path.join(tmp, "pa"))
    os.makedirs(sink.folder, exist_ok=True)
    try:
        sink.start()
    except e2e.Skip as why:
        print("cannot measure: %s" % why)
        return 1
    desktop = e2e.Desktop()
    desktop.env = sink.environment(desktop.env)
    mon = None
    try:
        wav = os.path.join(tmp, "click.wav")
        e2e.write_wav(wav, ms=60)
        # Sound on; every key of the CPU run has the tone.
        ini = b"[SOUND]\r\nSoundEnable=-1\r\n" + b"".join(
            b"Key%d=%s\r\n" % (vk, wav.encode()) for vk in (8, 65, 68, 69, 70, 74, 75, 76, 82, 83))
        folder = os.path.join(tmp, "prog")
        os.makedirs(folder)
        with open(os.path.join(folder, "Pressory.ini"), "wb") as f:
            f.write(ini)
        mon = Monitor(sink)
        time.sleep(0.5)
        print("rig floor (tone written to a running pacat): %s" % summary(measure_floor(sink, mon, wav, 20)))

        p = e2e.Program(desktop, folder, binary).start()
        xt = XTest(desktop.display)
        # The keys go to another program's window, as when a person works elsewhere.
        other = subprocess.Popen(["xmessage", "-geometry", "+400+200", "another program"], env=desktop.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wid = e2e.wait_for("the other window", lambda: desktop.x(
            "xdotool", "search", "--onlyvisible", "--class", "xmessage", check=False).split())[0]
        desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
        time.sleep(1)
        measure_presses(mon, xt, 3)   # warm-up: the server's first stream of the program
        lat = measure_presses(mon, xt, presses)
        print("key press -> first sound sample: %s" % summary(lat))
        if len(lat) < presses:
            print("  (%d of %d presses gave no sound)" % (presses - len(lat), presses))

        if cpu_time > 0:
            rate, cpu = measure_cpu(desktop, p, cpu_time)
            print("sound on, %.1f presses/s for %.0f s: CPU %.2f %% of a core" % (rate, cpu_time, cpu))
        p.proc.send_signal(signal.SIGTERM)
        p.wait_exit()
        if cpu_time > 0:
            with open(os.path.join(folder, "Pressory.ini"), "wb") as f:
                f.write(ini.replace(b"SoundEnable=-1", b"SoundEnable=0"))
            p = e2e.Program(desktop, folder, binary).start()
            desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
            time.sleep(1)
            rate, cpu = measure_cpu(desktop, p, cpu_time)
            print("sound off, %.1f presses/s for %.0f s: CPU %.2f %% of a core" % (rate, cpu_time, cpu))
            p.proc.send_signal(signal.SIGTERM)
            p.wait_exit()
        other.terminate()
    finally:
        if mon:
            mon.stop()
        desktop.stop()
        sink.stop()
        shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
