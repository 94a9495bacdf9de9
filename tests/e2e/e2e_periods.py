#!/usr/bin/env python3
"""End-to-end tests of the program's promise that every press ends up in
exactly one history record: a stop by the system, the display going away, a
kill recovered at the next start, save-and-reset with its box open or the history
unwritable, stop requests while boxes and windows are open, periods kept over
failing runs, the settings written whole, and temporaries that follow no link.

The invariant checked wherever it can be: summed over all records, each key's
count equals the presses sent.
"""
import os
import random
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import *  # noqa: E402,F401,F403

# Virtual-key codes of the letters the tests press; none of them drives a
# menu, a box or a shortcut.
J, K, L, M, P, Q, R, T = (ord(c) for c in "JKLMPQRT")


def summed_counts(path):
    """Each key's count summed over every record of the history file."""
    _, rows = read_history(path)
    total = {}
    for row in rows[1:]:
        for vk, n in counts_of(row).items():
            total[vk] = total.get(vk, 0) + n
    return total


def test_sigterm_records_without_a_box(ctx):
    d, folder = ctx.desktop, ctx.folder()
    # A settings file of a person: an odd row limit, sound on, a blink colour, comments.
    with open(os.path.join(folder, "Pressory.ini"), "wb") as f:
        f.write(b"; mine\r\n[FILE]\r\nFileHistoryMaxRow=3\r\n[SOUND]\r\nSoundEnable=1\r\n"
                b"Key65=/tmp/a.wav\r\n[COLOR]\r\nColorTextBoxBlink=65280\r\n")
    for run_no in range(2):
        with running(ctx, folder) as p:
            for _ in range(run_no + 1):
                d.x("xdotool", "key", "--delay", "20", "d")
                time.sleep(0.08)
            time.sleep(0.2)
            p.proc.send_signal(signal.SIGTERM)
            assert p.wait_exit() == 0
    _, rows = read_history(p.history_path)
    assert len(rows) == 3, "header and one record per run"
    check_record(rows[1], {68: 1})
    check_record(rows[2], {68: 2})
    settings = open(p.settings_path, "rb").read()
    assert settings.startswith(b"; mine\r\n[FILE]\r\nFileHistoryMaxRow=3\r\n[SOUND]\r\nSoundEnable=-1\r\n"
                               b"Key65=/tmp/a.wav\r\n[COLOR]\r\nColorTextBoxBlink=65280\r\n"), settings
    assert b"ColorBackGround=-2147483633\r\n" in settings
    assert settings.endswith(b"PictureEnable=0\r\nHeatMap=0\r\n")


def test_display_loss_records_the_period_and_writes_the_settings(ctx):
    folder = ctx.folder()
    with Desktop() as d:   # a desktop of its own: its server is killed
        with running(ctx, folder, desktop=d) as p:
            press_keys(d, ["a"] * 10 + ["b"] * 10)
            d.kill_server()
            t = time.monotonic()
            p.wait_exit(timeout=10)   # the window system chooses the exit status
            ctx.figures["program ended after the display went away (s)"] = round(time.monotonic() - t, 3)
    data, rows = read_history(p.history_path)
    assert data.startswith(expected_header_bytes())
    assert len(rows) == 2, "one record: %r" % rows
    _, total = check_record(rows[1], {65: 10, 66: 10})
    assert total == 20, total
    assert open(p.settings_path, "rb").read() == FIRST_SETTINGS
    assert not os.path.exists(p.recovery_path), "recorded: nothing left to recover"


def test_killed_program_is_recorded_at_the_next_start(ctx):
    d, folder = ctx.desktop, ctx.folder()
    with running(ctx, folder) as p:
        press_keys(d, ["g"] * 20)
        last_press = time.time()
        time.sleep(61)   # the first press was written at once, the rest a minute later
        total, counts = read_recovery(p.recovery_path)
        assert total == 20 and counts[71] == 20, (total, counts[71])
        p.proc.kill()
        p.proc.wait()
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


def records(path):
    return read_history(path)[1][1:]


class Unwritable:
    """The history file made immutable (as `chattr +i` does) while in the
    `with` block, or, where the file system has no such flag, a folder in
    its place."""

    def __init__(self, path):
        self.path = path

    def __enter__(self):
        with open(self.path, "wb") as f:
            f.write(expected_header_bytes())
        self.immutable = subprocess.run(["chattr", "+i", self.path], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL).returncode == 0
        if not self.immutable:
            os.remove(self.path)
            os.mkdir(self.path)
        return self

    def release(self):
        if self.immutable:
            subprocess.run(["chattr", "-i", self.path], check=True)
        elif os.path.isdir(self.path):
            os.rmdir(self.path)
        self.immutable = False

    def __exit__(self, *exc):
        self.release()


def answer_start_box(p):
    """The box that tells at start what cannot be written or what waits.
    It has the main window's title, so the window is looked up again after it."""
    answer_until_gone(p, find_dialog(p))
    p.wid = wait_for("the main window", p.find_main_window)


def save_and_reset(p):
    """Ctrl+S in the full window; the box it shows."""
    p.focus()
    p.desktop.x("xdotool", "key", "ctrl+s")
    return find_dialog(p)


def stop_within(p, seconds):
    t = time.monotonic()
    p.proc.send_signal(signal.SIGTERM)
    try:
        rc = p.proc.wait(seconds)
    except subprocess.TimeoutExpired:
        raise AssertionError("the program still runs %.1f s after SIGTERM" % seconds)
    assert rc == 0, rc
    return time.monotonic() - t


def test_save_and_reset_box_open_presses_go_to_the_new_period(ctx):
    """Presses typed while the "記録しました。" box is open belong to the new
    period; a stop request while it is open records that period, never the
    saved one twice."""
    d = ctx.desktop
    for stop_while_open in (False, True):
        with running(ctx, ctx.folder()) as p:
            to_full_mode(p)
            press_keys(d, ["j"] * 3)
            box = save_and_reset(p)
            press_keys(d, ["k"] * 2)   # into the box: counted all the same
            if stop_while_open:
                ctx.figures["ended after SIGTERM with the save box open (s)"] = round(stop_within(p, 2), 3)
            else:
                answer_until_gone(p, box)
                press_keys(d, ["l"])
                p.stop()
        rows = records(p.history_path)
        assert len(rows) == 2, rows
        first, second = counts_of(rows[0]), counts_of(rows[1])
        assert (first[J], first[K], first[L]) == (3, 0, 0), rows[0]
        assert (second[J], second[K], second[L]) == (0, 2, 0 if stop_while_open else 1), rows[1]
        assert not os.path.exists(p.recovery_path)


def test_failed_save_and_reset_keeps_the_counts_for_the_next_record(ctx):
    """The history cannot be written at Ctrl+S: the counts stay (in the window
    and at once in the recovery file), and the close, once the history can be
    written again, records every press in one record."""
    d, folder = ctx.desktop, ctx.folder()
    history = os.path.join(folder, "PressoryHistory.csv")
    with Unwritable(history) as lock:
        with running(ctx, folder) as p:
            answer_start_box(p)
            to_full_mode(p)
            press_keys(d, ["m"] * 4)
            box = save_and_reset(p)
            total, counts = wait_for("the counts in the recovery file",
                                     lambda: os.path.exists(p.recovery_path) and read_recovery(p.recovery_path)
                                     if read_recovery(p.recovery_path)[1][M] == 4 else None, timeout=5)
            answer_until_gone(p, box)
            press_keys(d, ["m"] * 2)
            lock.release()
            p.stop()
    rows = records(history)
    assert len(rows) == 1, rows
    assert counts_of(rows[0])[M] == 6, rows[0]
    assert not os.path.exists(p.recovery_path)


def test_periods_of_failing_runs_are_each_recorded_once(ctx):
    """Two runs that cannot write the history, then one that can: both
    periods become records, oldest first, each once."""
    d, folder = ctx.desktop, ctx.folder()
    history = os.path.join(folder, "PressoryHistory.csv")
    with Unwritable(history) as lock:
        for keys in (["p"] * 2, ["q"] * 3):
            with running(ctx, folder) as p:
                answer_start_box(p)
                press_keys(d, keys)
                p.stop()
        kept = [n for n in os.listdir(folder) if n.startswith("PressoryRecovery")]
        assert len(kept) == 2, kept
        lock.release()
    with running(ctx, folder) as p:
        rows = records(history)   # recorded before counting starts
        assert [(counts_of(r)[P], counts_of(r)[Q]) for r in rows] == [(2, 0), (0, 3)], rows
        press_keys(d, ["r"])
        p.stop()
    rows = records(history)
    assert len(rows) == 3, rows
    sums = summed_counts(history)
    assert (sums[P], sums[Q], sums[R]) == (2, 3, 1), sums
    assert not [n for n in os.listdir(folder) if n.startswith("PressoryRecovery")]


def test_stop_request_ends_the_program_whatever_window_is_open(ctx):
    """SIGTERM with each of the program's windows and boxes open: the period
    is recorded and the process ends within 2 s."""
    d = ctx.desktop
    windows = [
        ("sound settings", lambda p: menu_command(p, "s", "f")),
        ("history viewer", lambda p: (p.focus(), d.x("xdotool", "key", "ctrl+h"))),
        ("statistics", lambda p: (p.focus(), d.x("xdotool", "key", "ctrl+g"))),
        ("version", lambda p: menu_command(p, "h", "a")),
        ("blink colour", lambda p: menu_command(p, "v", "b")),
        ("background picture", lambda p: menu_command(p, "v", "d")),
        ("reset box", lambda p: (p.focus(), d.x("xdotool", "key", "ctrl+n"))),   # resets the press first
    ]
    slowest = 0.0
    for name, open_it in windows:
        with running(ctx, ctx.folder()) as p:
            to_full_mode(p)
            press_keys(d, ["t"])
            open_it(p)
            find_box(p, p.proc.pid)
            time.sleep(0.3)
            try:
                slowest = max(slowest, stop_within(p, 2))
            except AssertionError as e:
                raise AssertionError("%s: %s" % (name, e))
        rows = records(p.history_path)
        assert len(rows) == 1 and counts_of(rows[0])[T] == (0 if name == "reset box" else 1), (name, rows)
    ctx.figures["slowest end after SIGTERM with a window open (s)"] = round(slowest, 3)


# A settings file of a person, with old values that the close writes back
# changed: SoundEnable=1 is kept as -1, the missing keys are added.
HAND_SETTINGS = (b"; kept by hand\r\n[FILE]\r\nFileHistoryMaxRow=3\r\n"
                 b"[SOUND]\r\nSoundEnable=1\r\nKey65=/tmp/a.wav\r\n; sounds end here\r\n"
                 b"[COLOR]\r\nColorTextBoxBlink=65280\r\n\r\n[MINE]\r\nx = \"y\"\r\n")
HAND_SETTINGS_CLOSED = (b"; kept by hand\r\n[FILE]\r\nFileHistoryMaxRow=3\r\n"
                        b"[SOUND]\r\nSoundEnable=-1\r\nKey65=/tmp/a.wav\r\n; sounds end here\r\n"
                        b"[COLOR]\r\nColorTextBoxBlink=65280\r\nColorBackGround=-2147483633\r\n"
                        b"PictureBackGround=\r\nPictureEnable=0\r\nHeatMap=0\r\n\r\n[MINE]\r\nx = \"y\"\r\n")


def test_kill_during_close_leaves_settings_whole_old_or_new(ctx):
    d, folder = ctx.desktop, ctx.folder()
    settings = os.path.join(folder, "Pressory.ini")
    rng = random.Random(1)
    seen = {"old": 0, "new": 0}
    deadline = time.monotonic() + 50
    cycles = 0
    while cycles < 80 and time.monotonic() < deadline:
        cycles += 1
        with open(settings, "wb") as f:
            f.write(HAND_SETTINGS)
        with running(ctx, folder, wait_window=False) as p:
            wait_for("the main window", p.find_main_window, timeout=15)
            p.proc.send_signal(signal.SIGTERM)
            # Killed somewhere in the close: before, during or after the settings write.
            time.sleep(rng.uniform(0, 0.03))
            p.proc.kill()
            p.proc.wait()
        data = open(settings, "rb").read()
        assert data in (HAND_SETTINGS, HAND_SETTINGS_CLOSED), "cycle %d left a mix:\n%r" % (cycles, data)
        seen["old" if data == HAND_SETTINGS else "new"] += 1
    ctx.figures["kills in the close that left the old / the new settings"] = "%d / %d" % (seen["old"], seen["new"])
    assert seen["new"] > 0, "no close got as far as the settings: %r" % seen
    leftovers = [n for n in os.listdir(folder) if n.startswith("Pressory.ini.")]
    # What a kill leaves beside the file is gone after the next start.
    with running(ctx, folder) as p:
        p.stop()
    assert not [n for n in os.listdir(folder) if n.startswith("Pressory.ini.")], leftovers


def test_planted_temporary_link_leaves_its_target_untouched(ctx):
    d, folder = ctx.desktop, ctx.folder()
    # A program folder that every user may write to, shared as /tmp is: the
    # program's user cannot remove what another user put there.
    os.chmod(ctx.tmp, 0o755)
    os.chmod(folder, 0o1777)
    nobody = 65534
    victim_folder = ctx.folder()
    os.chmod(victim_folder, 0o755)
    victims = [os.path.join(victim_folder, n) for n in ("victim-settings", "victim-recovery")]
    for v in victims:
        with open(v, "wb") as f:
            f.write(b"a file of the program's user\n")
        os.chown(v, nobody, nobody)
    settings = os.path.join(folder, "Pressory.ini")
    with open(settings, "wb") as f:
        f.write(HAND_SETTINGS)
    os.chown(settings, nobody, nobody)
    # Another user's links under the names the program used to write its temporaries.
    names = [os.path.join(folder, n) for n in ("Pressory.ini.new~", "PressoryRecovery.dat.new~")]
    for name, victim in zip(names, victims):
        os.symlink(victim, name)
    for run in range(3):
        with running(ctx, folder, unprivileged=True) as p:
            press_keys(d, ["k"] * (run + 1))   # the first press writes the recovery file at once
            err = p.stop()
        for v in victims:
            assert open(v, "rb").read() == b"a file of the program's user\n", "run %d wrote into %s" % (run, v)
        assert "書き込めませんでした" not in err, err
    assert not os.path.islink(settings)
    assert open(settings, "rb").read() == HAND_SETTINGS_CLOSED
    assert summed_counts(os.path.join(folder, "PressoryHistory.csv")).get(75) == 6
    assert not os.path.exists(os.path.join(folder, "PressoryRecovery.dat"))
    for n in names:
        assert os.path.islink(n), "the planted link itself is left alone"


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
