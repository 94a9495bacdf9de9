#!/usr/bin/env python3
"""What keeping the recovery file costs the running program.

Runs the real program under a private Xvfb and types at a steady pace through
the X test extension for a while, once with the recovery file written as in use
(at most once a minute) and once with it written at nearly every tick
(PRESSORY_RECOVERY_INTERVAL_MS=10), and reads from /proc the CPU time, the
bytes written to storage and the writes made. The difference between the two
runs, divided by the difference in recovery writes, is the cost of one write;
times 60 it is the cost of an hour of typing. A figure, not a test.

Usage: recovery_cost.py --program build/src/app/Pressory [--seconds 180] [--rate 5]
"""
import argparse
import ctypes
import os
import select
import struct
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Desktop, Program  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def proc_cpu(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS   # utime + stime, seconds


def proc_io(pid):
    return {k: int(v) for k, v in (line.split(": ") for line in open("/proc/%d/io" % pid).read().splitlines())}


def count_writes(folder, stop, out):
    """Counts the recovery file's replacements (a rename onto its name), with inotify."""
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init1(os.O_NONBLOCK)
    IN_MOVED_TO = 0x80
    libc.inotify_add_watch(fd, folder.encode(), IN_MOVED_TO)
    out["writes"] = 0
    while not stop.is_set():
        select.select([fd], [], [], 0.2)
        try:
            data = os.read(fd, 65536)
        except BlockingIOError:
            continue
        i = 0
        while i < len(data):
            _, _, _, length = struct.unpack_from("iIII", data, i)
            name = data[i + 16:i + 16 + length].rstrip(b"\0")
            if name == b"PressoryRecovery.dat":
                out["writes"] += 1
            i += 16 + length
    os.close(fd)


def measure(binary, seconds, rate, interval_ms):
    tmp = tempfile.mkdtemp(prefix="pressory-cost-")
    with Desktop() as d:
        env = {"PRESSORY_RECOVERY_INTERVAL_MS": str(interval_ms)} if interval_ms else {}
        p = Program(d, tmp, binary, env=env).start()
        stop, counted = threading.Event(), {}
        watcher = threading.Thread(target=count_writes, args=(tmp, stop, counted), daemon=True)
        watcher.start()
        time.sleep(1)
        cpu0, io0 = proc_cpu(p.proc.pid), proc_io(p.proc.pid)
        presses = 0
        end = time.monotonic() + seconds
        keys = "etaoinshrdlu"
        while time.monotonic() < end:
            # A burst of `rate` presses, spread over the second.
            d.x("xdotool", "key", "--delay", str(1000 // rate), *[keys[(presses + i) % len(keys)] for i in range(rate)])
            presses += rate
        time.sleep(1)
        cpu1, io1 = proc_cpu(p.proc.pid), proc_io(p.proc.pid)
        stop.set()
        watcher.join()
        p.stop()
        p.kill()
    return {"cpu_s": cpu1 - cpu0, "write_bytes": io1["write_bytes"] - io0["write_bytes"],
            "wchar": io1["wchar"] - io0["wchar"], "syscw": io1["syscw"] - io0["syscw"],
            "recovery_writes": counted.get("writes", 0), "presses": presses, "seconds": seconds}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", required=True)
    ap.add_argument("--seconds", type=int, default=180)
    ap.add_argument("--rate", type=int, default=5, help="presses a second")
    args = ap.parse_args()
    normal = measure(args.program, args.seconds, args.rate, 0)
    often = measure(args.program, args.seconds, args.rate, 10)
    for name, r in (("once a minute", normal), ("every 10 ms", often)):
        print("%-14s %s" % (name, r))
    dw = often["recovery_writes"] - normal["recovery_writes"]
    if dw <= 0:
        print("no difference in recovery writes: nothing to compare")
        return 1
    per_write_cpu = (often["cpu_s"] - normal["cpu_s"]) / dw
    per_write_bytes = (often["write_bytes"] - normal["write_bytes"]) / dw
    per_write_wchar = (often["wchar"] - normal["wchar"]) / dw
    print("one recovery write: %.1f us CPU, %.0f bytes to storage, %.0f bytes through write()"
          % (per_write_cpu * 1e6, per_write_bytes, per_write_wchar))
    print("an hour of typing (60 writes): %.1f ms CPU, %.1f KiB to storage"
          % (per_write_cpu * 60 * 1e3, per_write_bytes * 60 / 1024))
    hour = 3600 / normal["seconds"]
    print("as measured once a minute, scaled to an hour: %.2f s CPU in all (typing included), "
          "%.1f KiB to storage, %d recovery writes"
          % (normal["cpu_s"] * hour, normal["write_bytes"] * hour / 1024, round(normal["recovery_writes"] * hour)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
