#!/usr/bin/env python3
"""Soak: the real program killed again and again, and nothing it wrote damaged.

Each cycle starts the program on the same folder under a private Xvfb, presses
random letter keys through the X test extension, and ends it at a random
moment: mostly `kill -9` (in a burst, right after it, or later), sometimes a
SIGTERM followed by `kill -9` a few milliseconds later, which races the close's
own writes. The recovery file is written far more often than in use
(PRESSORY_RECOVERY_INTERVAL_MS), so that kills land around its writes.

After every start it checks that every history line is whole (95 fields, CR LF),
that the settings file is absent or whole, and that the records appended since
the last start hold no more presses than were made (nothing recorded twice)
and, after a kill, exactly what the recovery file held when the program died:
only the presses after its last write are lost.

Usage: soak_kill.py --program build/src/app/Pressory [--cycles 200] [--seed N]
"""
import argparse
import os
import random
import re
import shutil
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import FIRST_SETTINGS, Desktop, Program, check_record, counts_of, read_history, read_recovery  # noqa: E402

LETTERS = [chr(c) for c in range(ord("a"), ord("z") + 1)]
# A press made this long before the recovery file's last write should have
# reached the counts it wrote (a figure, not a failure: under load it may not).
IN_FLIGHT_S = 0.05


def temporaries(path):
    """The temporary files a write cut off left beside the file at `path`:
    its name, ".new~" and six letters or digits."""
    folder, name = os.path.split(path)
    pattern = re.escape(name) + r"\.new~([A-Za-z0-9]{6})?"
    return [n for n in os.listdir(folder) if re.fullmatch(pattern, n)]


def parse_settings(data):
    """The (section, key) -> value pairs of a settings file, or a text that
    says why it does not parse."""
    if not data.endswith(b"\r\n"):
        return "the settings file does not end in CR LF: %r" % data[-40:]
    values, section = {}, None
    for line in data[:-2].split(b"\r\n"):
        text = line.decode("utf-8")
        if text.startswith("[") and text.endswith("]"):
            section = text[1:-1]
        elif "=" in text and section:
            k, v = text.split("=", 1)
            values[(section, k)] = v
        else:
            return "a settings line that does not parse: %r" % line
    return values


EXPECTED_SETTINGS = parse_settings(FIRST_SETTINGS)


def settings_problem(data):
    """Whether the settings file is whole. The six settings are written one
    after the other, each replacing the file whole: a kill between two of them
    leaves the later ones out, which the next start reads as their defaults."""
    values = parse_settings(data)
    if isinstance(values, str):
        return values
    wrong = {k: v for k, v in values.items() if EXPECTED_SETTINGS.get(k) != v}
    return "unexpected settings: %r" % wrong if wrong else None


def press(d, key):
    d.x("xdotool", "key", "--delay", "0", key)
    return time.time()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", required=True)
    ap.add_argument("--cycles", type=int, default=200)
    ap.add_argument("--interval-ms", type=int, default=200)
    ap.add_argument("--seed", type=int, default=None)
    args = ap.parse_args()
    seed = args.seed if args.seed is not None else int(time.time())
    rng = random.Random(seed)

    tmp = tempfile.mkdtemp(prefix="pressory-soak-")
    folder = os.path.join(tmp, "app")
    os.mkdir(folder)
    env = {"PRESSORY_RECOVERY_INTERVAL_MS": str(args.interval_ms)}
    failures = []
    stats = {"cycles": 0, "kills": 0, "term_then_kill": 0, "presses": 0, "lost": 0, "lines_checked": 0,
             "killed_during_recovery_write": 0, "killed_during_settings_write": 0,
             "starts_finding_settings_keys_left_out": 0, "kills_with_presses_not_yet_read_at_the_write": 0,
             "lost_by_kill": []}
    pending = None   # what the cycle before made: presses by key, their times, the kill's time, the last write

    def fail(cycle, text):
        failures.append("cycle %d: %s" % (cycle, text))
        print("FAIL cycle %d: %s" % (cycle, text), flush=True)

    t_start = time.monotonic()
    with Desktop() as d:
        seen_lines = 1   # the header
        for cycle in range(args.cycles + 1):
            last = cycle == args.cycles   # a last start that only checks and closes normally
            p = Program(d, folder, args.program, env=env)
            try:
                p.start()
            except AssertionError as e:
                fail(cycle, "did not start: %s" % e)
                p.kill()
                continue
            # The start has recorded what the killed run left.
            if temporaries(p.settings_path):
                fail(cycle, "a stale settings temporary stayed after the start")
            if os.path.exists(p.settings_path):
                data = open(p.settings_path, "rb").read()
                problem = settings_problem(data)
                if not problem and data != FIRST_SETTINGS:
                    stats["starts_finding_settings_keys_left_out"] += 1
                if problem:
                    fail(cycle, problem)
            rows = []
            if os.path.exists(p.history_path):
                try:
                    _, rows = read_history(p.history_path)
                    for r in rows[1:]:
                        check_record(r, {})
                except AssertionError as e:
                    fail(cycle, "a history line is damaged: %s" % e)
                stats["lines_checked"] += len(rows)
            if pending is not None:
                recorded = {}
                for r in rows[seen_lines:]:
                    for vk, n in counts_of(r).items():
                        if n:
                            recorded[vk] = recorded.get(vk, 0) + n
                made, kept, kind = pending["made"], pending["kept"], pending["kind"]
                keys = set(made) | set(recorded) | set(kept)
                # Nothing is recorded twice or made up; a kill loses only what
                # the recovery file did not hold yet: the start records exactly
                # what the file held. A close cut off by the kill may have
                # recorded more than the file held, never less.
                if any(recorded.get(vk, 0) > made.get(vk, 0) for vk in keys):
                    fail(cycle - 1, "%s: recorded %r, more than the presses %r" % (kind, recorded, made))
                elif kind == "kill" and recorded != kept:
                    fail(cycle - 1, "kill: recorded %r, the recovery file held %r" % (recorded, kept))
                elif any(recorded.get(vk, 0) < kept.get(vk, 0) for vk in keys):
                    fail(cycle - 1, "%s: recorded %r, less than the recovery file %r" % (kind, recorded, kept))
                lost = sum(made.values()) - sum(recorded.values())
                stats["lost"] += lost
                if kind == "kill":
                    stats["lost_by_kill"].append(lost)
                    # Presses made well before the file's last write that it
                    # did not hold yet: the program had not read them.
                    early = sum(1 for t in pending["times"]
                                if pending["last_write"] is not None and t <= pending["last_write"] - IN_FLIGHT_S)
                    held = sum(kept.values())
                    if early > held:
                        stats["kills_with_presses_not_yet_read_at_the_write"] += 1
            seen_lines = max(len(rows), 1)
            if last:
                p.stop()
                break

            # Presses, then the end at a random moment.
            n = rng.randint(0, 40)
            kill_after = rng.randint(0, n)            # the press after which the end comes
            kind = "kill" if rng.random() < 0.8 else "term"
            made, times = {}, []
            for i in range(n):
                if i == kill_after:
                    break
                key = rng.choice(LETTERS)
                times.append(press(d, key))
                made[ord(key.upper())] = made.get(ord(key.upper()), 0) + 1
                if rng.random() < 0.2:
                    time.sleep(rng.uniform(0, 0.05))
            time.sleep(rng.choice([0, 0, rng.uniform(0, args.interval_ms / 1000 * 2), rng.uniform(0, 1.0)]))
            if kind == "term":
                p.proc.send_signal(signal.SIGTERM)
                time.sleep(rng.uniform(0, 0.03))
                stats["term_then_kill"] += 1
            else:
                stats["kills"] += 1
            t_kill = time.time()
            p.proc.kill()
            p.proc.wait()
            if temporaries(p.recovery_path):
                stats["killed_during_recovery_write"] += 1
            if temporaries(p.settings_path):
                stats["killed_during_settings_write"] += 1
            last_write, kept = None, {}
            if os.path.exists(p.recovery_path):
                last_write = os.stat(p.recovery_path).st_mtime
                try:
                    _, counts = read_recovery(p.recovery_path)
                    kept = {vk: n for vk, n in enumerate(counts) if n}
                except (ValueError, KeyError, UnicodeDecodeError) as e:
                    fail(cycle, "the recovery file is damaged: %s" % e)
            pending = {"made": made, "times": times, "kill": t_kill, "last_write": last_write, "kind": kind,
                       "kept": kept}
            stats["presses"] += len(times)
            stats["cycles"] += 1

    shutil.rmtree(tmp, ignore_errors=True)
    lost = stats.pop("lost_by_kill")
    print("seed %d, %.0f s" % (seed, time.monotonic() - t_start))
    for k, v in stats.items():
        print("%s: %s" % (k, v))
    if lost:
        lost.sort()
        print("presses lost per kill -9: mean %.2f, median %d, max %d, kills losing none %d of %d"
              % (sum(lost) / len(lost), lost[len(lost) // 2], lost[-1], lost.count(0), len(lost)))
    print("%d failures" % len(failures))
    return 1 if failures or stats["cycles"] == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
