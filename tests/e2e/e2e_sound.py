#!/usr/bin/env python3
"""End-to-end tests. Key sounds: playback on a null sink and the sound settings window."""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import *  # noqa: E402,F401,F403


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
    with running(ctx, folder) as p:
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
        # After the two buttons, Tab comes to the cells (the focused one is tinted).
        d.x("xdotool", "key", "--window", dialog, "Tab", "Tab")
        time.sleep(0.3)
        d.x("import", "-window", dialog, os.path.join(ctx.artefacts, "sound-settings-focus.png"))
        # Escape cancels, as the cancel button does (9960, 5160 twips: 664, 344 px).
        # Pressed and released through the X test extension into the focused
        # window: sent to the window itself, the release finds it gone and
        # the key would stay down for the tests that follow.
        d.x("xdotool", "windowactivate", "--sync", dialog, check=False)
        d.x("xdotool", "key", "Escape")
        wait_for("the window closed by Esc", lambda: dialog not in p.windows_of(p.proc.pid))
        p.focus()
        d.x("xdotool", "key", "alt+s")
        time.sleep(0.3)
        d.x("xdotool", "key", "f")
        dialog = find_box(p, p.proc.pid)
        d.x("xdotool", "mousemove", "--window", dialog, "700", "355", "click", "1")
        wait_for("the window closed by cancel", lambda: dialog not in p.windows_of(p.proc.pid))
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    assert b"Key65=/home/user/sounds/click.wav\r\n" in open(p.settings_path, "rb").read()


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
