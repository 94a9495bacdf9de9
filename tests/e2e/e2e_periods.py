#!/usr/bin/env python3
"""End-to-end tests of the program's promise that every press ends up in
exactly one history record: save-and-reset with its box open or the history
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
import e2e  # noqa: E402
from e2e import (Program, answer_until_gone, counts_of, find_dialog, press_keys, read_history,  # noqa: E402,F401
                 wait_for)


def summed_counts(path):
    """Each key's count summed over every record of the history file."""
    _, rows = read_history(path)
    total = {}
    for row in rows[1:]:
        for vk, n in counts_of(row).items():
            total[vk] = total.get(vk, 0) + n
    return total


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
        p = Program(d, folder, ctx.binary).start(wait_window=False)
        try:
            wait_for("the main window", p.find_main_window, timeout=15)
            p.proc.send_signal(signal.SIGTERM)
            # Killed somewhere in the close: before, during or after the settings write.
            time.sleep(rng.uniform(0, 0.03))
            p.proc.kill()
            p.proc.wait()
        finally:
            p.kill()
        data = open(settings, "rb").read()
        assert data in (HAND_SETTINGS, HAND_SETTINGS_CLOSED), "cycle %d left a mix:\n%r" % (cycles, data)
        seen["old" if data == HAND_SETTINGS else "new"] += 1
    ctx.figures["kills in the close that left the old / the new settings"] = "%d / %d" % (seen["old"], seen["new"])
    assert seen["new"] > 0, "no close got as far as the settings: %r" % seen
    leftovers = [n for n in os.listdir(folder) if n.startswith("Pressory.ini.")]
    # What a kill leaves beside the file is gone after the next start.
    p = Program(d, folder, ctx.binary).start()
    try:
        p.stop()
    finally:
        p.kill()
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
        p = Program(d, folder, ctx.binary, unprivileged=True).start()
        try:
            press_keys(d, ["k"] * (run + 1))   # the first press writes the recovery file at once
            err = p.stop()
        finally:
            p.kill()
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
    sys.exit(e2e.main(globals()))
