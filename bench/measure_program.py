#!/usr/bin/env python3
"""Figures of the running program under Xvfb, beside the floor program.

The floor (bench/xi2_floor) only reads XInput2 raw press events and counts
them: the least any program that counts presses can cost. Both run on the same
Xvfb under the same injected load, measured over the same seconds, so that the
ratio holds even on a busy machine. With --peer, a peer program (workrave)
runs beside them too when it is installed.

Figures: start to the first mapped window; CPU while idle and at 20 presses/s
(from the threads' schedstat); the latency from an injected press to the
changed pixels of the window (bench/paint_latency); and the accuracy at the
fastest rate xdotool can inject: 50 000 presses over 36 keys and 3 000 taps of
one key, counted against sent, with the record's total against the sum of its
cells.

With --full the idle and typing figures are taken in the full window (all
cells shown); --heat also switches the heat tint on (and implies --full), so
that the two can be compared. --against=OTHER_BUILD runs that build's program
beside this one over the same seconds (its own folder, the same window mode):
two builds compared side by side, whatever else the machine is doing. A
second floor is woken by the releases too, as a program that shows which keys
are down has to be.

Usage: bench/measure_program.py BUILD_DIR [SECONDS] [--peer] [--no-accuracy] [--full] [--heat]
                                [--against=OTHER_BUILD]
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
import harness as e2e  # noqa: E402

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


def wakeups(pid):
    """Voluntary context switches of all the process's threads: how often it slept and woke."""
    total = 0
    try:
        for tid in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        total += int(line.split()[1])
    except (OSError, ValueError):
        pass
    return total


def rss_mb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024.0
    return 0.0


class Floor:
    def __init__(self, desktop, binary, releases=False):
        self.proc = subprocess.Popen([binary] + (["--releases"] if releases else []), env=desktop.env, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        assert self.proc.stdout.readline().strip() == "ready", "the floor program did not start"

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        out = self.proc.communicate(timeout=10)[0]
        return int(out.split()[-1])


def measure(pids, seconds, load=None):
    """CPU % of a core and wake-ups a second of each pid over the same interval, while `load` runs."""
    c0 = {name: cpu_seconds(pid) for name, pid in pids.items()}
    w0 = {name: wakeups(pid) for name, pid in pids.items()}
    t0 = time.monotonic()
    sent = 0
    if load:
        while time.monotonic() - t0 < seconds:
            sent += load()
    else:
        time.sleep(seconds)
    wall = time.monotonic() - t0
    c1 = {name: cpu_seconds(pid) for name, pid in pids.items()}
    w1 = {name: wakeups(pid) for name, pid in pids.items()}
    cpu = {name: 100.0 * (c1[name] - c0[name]) / wall for name in pids}
    wake = {name: (w1[name] - w0[name]) / wall for name in pids}
    return (cpu, wake), sent, wall


def report_cpu(what, figures, sent=0, wall=0):
    cpu, wake = figures
    rate = " (%d presses, %.1f/s)" % (sent, sent / wall) if sent else ""
    parts = ", ".join("%s %.3f %%" % (name, v) for name, v in cpu.items())
    def ratio_to(name):
        return cpu["Pressory"] / cpu[name] if cpu[name] > 0 else float("inf")
    wakes = ", ".join("%s %.1f" % (name, v) for name, v in wake.items())
    print("%s%s: CPU of a core: %s; Pressory/floor %.2f, Pressory/floor with releases %.2f; wake-ups/s: %s"
          % (what, rate, parts, ratio_to("floor"), ratio_to("floor with releases"), wakes),
          flush=True)


def last_record(program):
    _, rows = e2e.read_history(program.history_path)
    return e2e.counts_of(rows[-1]), int(rows[-1][10])


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    against = next((a.split("=", 1)[1] for a in sys.argv[1:] if a.startswith("--against=")), None)
    build = args[0] if args else "build"
    seconds = float(args[1]) if len(args) > 1 else 60.0
    binary = os.path.abspath(os.path.join(build, "src", "app", "Pressory"))
    floor_binary = os.path.abspath(os.path.join(build, "bench", "xi2_floor"))
    latency_binary = os.path.abspath(os.path.join(build, "bench", "paint_latency"))
    desktop = e2e.Desktop()
    tmp = tempfile.mkdtemp(prefix="pressory-measure-")
    peer = None
    try:
        maps = []
        for _ in range(5):
            p = e2e.Program(desktop, tmp, binary).start()
            maps.append(p.first_map)
            p.proc.send_signal(signal.SIGTERM)
            p.wait_exit()
        print("start to first mapped window: median %.0f ms (of %s)" %
              (sorted(maps)[2] * 1000, ", ".join("%.0f" % (m * 1000) for m in maps)), flush=True)

        # The keys go to another program's window, as when a person works elsewhere.
        other = subprocess.Popen(["xmessage", "-geometry", "+400+200", "another program"], env=desktop.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wid = e2e.wait_for("the other window", lambda: desktop.x(
            "xdotool", "search", "--onlyvisible", "--class", "xmessage", check=False).split())[0]
        desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)

        heat = "--heat" in sys.argv
        if heat:
            # The closes above wrote the settings file: the tint is switched on in it.
            settings = os.path.join(tmp, "Pressory.ini")
            data = open(settings, "rb").read()
            assert b"HeatMap=0\r\n" in data, data
            open(settings, "wb").write(data.replace(b"HeatMap=0\r\n", b"HeatMap=-1\r\n"))
        full = heat or "--full" in sys.argv
        p = e2e.Program(desktop, tmp, binary).start()
        if full:
            e2e.to_full_mode(p)
        other_program = None
        if against:
            other_tmp = os.path.join(tmp, "against")
            os.mkdir(other_tmp)
            if os.path.exists(os.path.join(tmp, "Pressory.ini")):
                shutil.copy2(os.path.join(tmp, "Pressory.ini"), other_tmp)
            # Started after the first one has its window mode: the window
            # switched is the one on top, where the mode button is clicked.
            other_program = e2e.Program(desktop, other_tmp,
                                        os.path.abspath(os.path.join(against, "src", "app", "Pressory"))).start()
            if full:
                e2e.to_full_mode(other_program)
        if full:
            print("measured in the full window%s" % (" with the heat tint" if heat else ""), flush=True)
        floor = Floor(desktop, floor_binary)
        # The same floor woken by the releases too: what showing the keys
        # that are down costs at the least.
        floor_releases = Floor(desktop, floor_binary, releases=True)
        pids = {"Pressory": p.proc.pid, "floor": floor.proc.pid, "floor with releases": floor_releases.proc.pid}
        if other_program:
            pids["Pressory of " + against] = other_program.proc.pid
        if "--peer" in sys.argv and shutil.which("workrave"):
            peer = subprocess.Popen(["workrave"], env=desktop.env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            pids["workrave"] = peer.pid
        desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
        time.sleep(2)

        figures, _, _ = measure(pids, seconds)
        report_cpu("idle %.0f s" % seconds, figures)
        print("RSS: Pressory %.1f MB" % rss_mb(p.proc.pid), flush=True)

        keys = ["a", "s", "d", "f", "j", "k", "l", "e", "r", "BackSpace"]

        def twenty_a_second():
            # One xdotool process per second presses 20 keys 50 ms apart.
            seq = [random.choice(keys) for _ in range(20)]
            subprocess.run(["xdotool", "key", "--delay", "50"] + seq, env=desktop.env, check=False)
            return 20
        figures, sent, wall = measure(pids, seconds, twenty_a_second)
        report_cpu("%.0f s of typing" % wall, figures, sent, wall)

        # Two programs' windows lie on one another: the latency is read of one alone.
        if os.path.exists(latency_binary) and not other_program:
            out = subprocess.run([latency_binary, p.wid, "38", "300"], env=desktop.env, text=True,
                                 stdout=subprocess.PIPE, check=False).stdout.strip()
            print(out, flush=True)

        p.proc.send_signal(signal.SIGTERM)
        p.wait_exit()
        if other_program:
            other_program.proc.send_signal(signal.SIGTERM)
            other_program.wait_exit()
        seen = floor.stop()
        floor_releases.stop()
        _, total = last_record(p)
        print("the typing above: Pressory counted %d, the floor %d" % (total, seen), flush=True)

        if "--no-accuracy" not in sys.argv:
            fast = [k for k, _ in e2e.FAST_KEYS]
            for what, sequence in (("50 000 presses over 36 keys", [random.choice(fast) for _ in range(50000)]),
                                   ("3 000 taps of one key", ["q"] * 3000)):
                p = e2e.Program(desktop, tmp, binary).start()
                floor = Floor(desktop, floor_binary)
                desktop.x("xdotool", "windowactivate", "--sync", wid, check=False)
                time.sleep(0.5)
                t0 = time.monotonic()
                e2e.press_fast(desktop, sequence)
                wall = time.monotonic() - t0
                time.sleep(0.5)
                p.proc.send_signal(signal.SIGTERM)
                p.wait_exit()
                seen = floor.stop()
                counts, total = last_record(p)
                print("%s at %.0f/s: sent %d, Pressory counted %d, floor saw %d; record total %s the sum of its cells"
                      % (what, len(sequence) / wall, len(sequence), total, seen,
                         "equals" if total == sum(counts.values()) else "DIFFERS FROM"), flush=True)
        other.terminate()
    finally:
        if peer:
            peer.terminate()
        desktop.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
