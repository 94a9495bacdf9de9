#!/usr/bin/env python3
"""Figures of the running program under Xvfb: CPU while idle and while keys are
pressed, resident memory, and the time from start to the first mapped window.

Usage: bench/measure_program.py BUILD_DIR [SECONDS]
Reports figures; never fails on a time.
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import e2e  # noqa: E402

TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """CPU time of all the process's threads, in nanosecond resolution (schedstat)."""
    total = 0
    try:
        for tid in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/schedstat" % (pid, tid)) as f:
                total += int(f.read().split()[0])
        return total / 1e9
    except (OSError, ValueError, IndexError):
        fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK


def rss_mb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024.0
    return 0.0


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    binary = os.path.abspath(os.path.join(build, "src", "app", "Pressory"))
    desktop = e2e.Desktop()
    tmp = tempfile.mkdtemp(prefix="pressory-measure-")
    try:
        maps = []
        for _ in range(5):
            p = e2e.Program(desktop, tmp, binary).start()
            maps.append(p.first_map)
            p.proc.send_signal(signal.SIGTERM)
            p.wait_exit()
        print("start to first mapped window: median %.0f ms (of %s)" %
              (sorted(maps)[2] * 1000, ", ".join("%.0f" % (m * 1000) for m in maps)))

        p = e2e.Program(desktop, tmp, binary).start()
        # The keys go to another program's window, as when a person works elsewhere.
        other = subprocess.Popen(["xmessage", "-geometry", "+400+200", "another program"], env=desktop.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wid = e2e.wait_for("the other window", lambda: desktop.x(
            "xdotool", "search", "--onlyvisible", "--class", "xmessage", check=False).split())[0]
        desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
        time.sleep(2)
        c0, t0 = cpu_seconds(p.proc.pid), time.monotonic()
        time.sleep(seconds)
        c1, t1 = cpu_seconds(p.proc.pid), time.monotonic()
        print("idle %.0f s: CPU %.3f %% of a core, RSS %.1f MB" %
              (t1 - t0, 100.0 * (c1 - c0) / (t1 - t0), rss_mb(p.proc.pid)))

        keys = ["a", "s", "d", "f", "j", "k", "l", "e", "r", "BackSpace"]
        c0, t0 = cpu_seconds(p.proc.pid), time.monotonic()
        n = 0
        # One xdotool process per second presses 20 keys 50 ms apart (20 presses/s).
        while time.monotonic() - t0 < seconds:
            seq = [random.choice(keys) for _ in range(20)]
            subprocess.run(["xdotool", "key", "--delay", "50"] + seq, env=desktop.env, check=False)
            n += 20
        c1, t1 = cpu_seconds(p.proc.pid), time.monotonic()
        print("%d presses in %.0f s (%.1f/s): CPU %.3f %% of a core, RSS %.1f MB" %
              (n, t1 - t0, n / (t1 - t0), 100.0 * (c1 - c0) / (t1 - t0), rss_mb(p.proc.pid)))
        p.proc.send_signal(signal.SIGTERM)
        p.wait_exit()
        other.terminate()
    finally:
        desktop.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
