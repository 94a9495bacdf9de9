#!/usr/bin/env python3
"""End-to-end tests. Start-up: one running copy per folder, the lock, and the folder the files live in."""
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import *  # noqa: E402,F401,F403


def test_second_start_is_refused(ctx):
    d, folder = ctx.desktop, ctx.folder()
    with running(ctx, folder) as p:
        d.x("xdotool", "key", "c")
        time.sleep(0.2)
        second = subprocess.Popen([p.path], env=d.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        box = find_box(p, second.pid)
        name = d.x("xprop", "-id", box, "WM_NAME")
        assert "Pressory" in name, name
        shots = os.path.join(ctx.artefacts, "refused.png")
        d.x("import", "-window", "root", shots)
        answer_box(p, box)
        assert second.wait(10) == 0
        assert p.proc.poll() is None, "the first copy runs on"
        assert not os.path.exists(p.history_path), "the refused copy writes nothing"
        d.x("xdotool", "key", "c")
        time.sleep(0.2)
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0
    _, rows = read_history(p.history_path)
    check_record(rows[1], {67: 2})


def test_second_start_brings_the_hidden_window_back(ctx):
    d, folder = ctx.desktop, ctx.folder()
    with running(ctx, folder) as p:
        geometry = hide_full_window(p)
        time.sleep(0.3)
        second = subprocess.Popen([p.path], env=d.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            # The running copy shows itself; the refused one still tells why.
            # (Both windows are named Pressory: the main window is the first
            # copy's, with both conditions.)
            def main_window():
                out = d.x("xdotool", "search", "--all", "--onlyvisible", "--pid", str(p.proc.pid),
                          "--name", "^Pressory$", check=False).split()
                return out[0] if out else None
            box = find_box(p, second.pid)
            p.wid = wait_for("the running copy's window back", main_window)
            time.sleep(0.5)
            p.wid = wait_for("the window settled", main_window)
            assert p.outer_geometry() == geometry, "back in full mode at its place: %r %r" % (p.outer_geometry(), geometry)
            os.makedirs(ctx.artefacts, exist_ok=True)
            d.x("import", "-window", "root", os.path.join(ctx.artefacts, "second-start.png"))
            answer_box(p, box)
            assert second.wait(10) == 0
        finally:
            if second.poll() is None:
                second.kill()
        assert p.proc.poll() is None, "the first copy runs on"
        p.proc.send_signal(signal.SIGTERM)
        assert p.wait_exit() == 0


def test_second_copy_with_another_tmpdir_is_refused(ctx):
    d, folder = ctx.desktop, ctx.folder()
    tmp_a, tmp_b = tempfile.mkdtemp(dir=ctx.tmp), tempfile.mkdtemp(dir=ctx.tmp)
    p = Program(d, folder, ctx.binary, env={"TMPDIR": tmp_a}).start()
    with ScreenReader(ctx, d) as reader:
        second = Program(d, folder, ctx.binary, env=dict(reader.program_env(), TMPDIR=tmp_b))
        try:
            press_keys(d, ["j"])
            second.start(wait_window=False)
            box = find_dialog(p, second.proc.pid)
            lock = os.path.join(folder, "Pressory.lock")
            assert reader.box_texts() == ["既に起動しています。\n別の Pressory が動いていないときは、"
                                          "次のファイルを削除してから起動してください:\n" + lock]
            second.wid = "none"
            answer_box(p, box)
            assert second.wait_exit(10) == 0
            assert not second.windows_of(second.proc.pid)
            assert p.proc.poll() is None, "the first copy runs on"
            assert os.path.exists(os.path.join(folder, "Pressory.lock")), "the lock is beside the files"
            # Without a runtime folder, the socket a second start talks to
            # lies in the temporary folder: it is no lock.
            left = [n for t in (tmp_a, tmp_b) for n in os.listdir(t)
                    if ("ressory" in n or "lock" in n) and not stat.S_ISSOCK(os.lstat(os.path.join(t, n)).st_mode)]
            assert not left, "no lock in either TMPDIR: %r" % left
            press_keys(d, ["j"])
            p.stop()
        finally:
            second.kill()
            p.kill()
    _, rows = read_history(p.history_path)
    assert len(rows) == 2, "one record: the refused copy wrote nothing"
    check_record(rows[1], {74: 2})


def test_unusable_tmpdir_does_not_stop_the_start(ctx):
    d, folder = ctx.desktop, ctx.folder()
    for n, tmpdir in enumerate(["/nonexistent/pressory-tmp", os.path.join(ctx.tmp, "a-file")]):
        open(os.path.join(ctx.tmp, "a-file"), "w").close()
        with running(ctx, folder, env={"TMPDIR": tmpdir}) as p:
            no_box(p)   # no "already running", no warning
            press_keys(d, ["k"] * (n + 1))
            p.stop()
    _, rows = read_history(p.history_path)
    assert len(rows) == 3
    check_record(rows[1], {75: 1})
    check_record(rows[2], {75: 2})


def test_read_only_program_folder_is_told_at_the_start(ctx):
    d, folder = ctx.desktop, ctx.folder()
    os.chmod(ctx.tmp, 0o755)   # the program's user reaches its folder
    p = Program(d, folder, ctx.binary, unprivileged=True)
    os.chmod(folder, 0o555)
    try:
        with ScreenReader(ctx, d, unprivileged=True) as reader:
            p.extra_env = reader.program_env()
            p.start()
            box = find_dialog(p)
            time.sleep(0.3)
            texts = reader.box_texts()
            p.shot(ctx.artefacts, "read-only-folder.png")
            text = next((t for t in texts if "PressoryHistory.csv" in t), None)
            assert text, texts
            assert os.path.join(folder, "PressoryHistory.csv") + " に書き込めません。\n" in text, text
            assert os.path.join(folder, "Pressory.ini") + " に書き込めません。\n" in text, text
            assert "アクセスが拒否されました。" in text, text
            answer_until_gone(p, box)
            no_box(p)   # one box, not one per file
            press_keys(d, ["m"])
            err = p.stop()
            assert "PressoryHistory.csv に記録できませんでした。" in err, err
    finally:
        p.kill()
        os.chmod(folder, 0o755)
    assert not os.path.exists(p.history_path)


def test_files_moved_to_the_user_folder_are_told_once(ctx):
    d, folder = ctx.desktop, ctx.folder()
    os.chmod(ctx.tmp, 0o755)   # the program's user reaches its folder
    data = tempfile.mkdtemp(dir=ctx.tmp)
    os.chmod(data, 0o777)
    user = os.path.join(data, "Pressory")
    p = Program(d, folder, ctx.binary, unprivileged=True)
    with open(os.path.join(folder, "Pressory.ini"), "w") as f:
        f.write("[FILE]\nMaxRow=50\n")
    os.chmod(folder, 0o555)
    try:
        with ScreenReader(ctx, d, unprivileged=True) as reader:
            p.extra_env = dict(reader.program_env(), XDG_DATA_HOME=data)
            p.start()
            box = find_dialog(p)
            time.sleep(0.3)
            assert reader.box_texts() == [
                "プログラムのフォルダーに書き込めないため、履歴と設定のファイルは次のフォルダーに置きます:\n" + user +
                "\nこれまでの履歴と設定は、そのフォルダーへコピーしました。"]
            answer_until_gone(p, box)
            no_box(p)
            p.stop()
            p.start()   # the next start has nothing to tell
            no_box(p)
            p.stop()
    finally:
        p.kill()
        os.chmod(folder, 0o755)
    assert "MaxRow=50" in open(os.path.join(user, "Pressory.ini")).read()


if __name__ == "__main__":
    sys.exit(harness.main(globals()))
