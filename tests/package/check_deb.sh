#!/usr/bin/env bash
# The Debian package as a person gets it: unpacked into a throwaway root
# (dpkg -x, no container), its files in their places, and the installed
# program run under Xvfb with a home of its own for a few presses. The record
# must land in the per-user data folder, nothing beside the program.
# Usage: tests/package/check_deb.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package check: $*"; exit 1; }

root=$work/root
home=$work/home
mkdir -p "$root" "$home"
dpkg -x "$deb" "$root"

# What the package holds, and what it asks apt for.
for f in usr/bin/Pressory usr/share/pressory/Help/Readme.html usr/share/applications/Pressory.desktop \
         usr/share/pressory/autostart/Pressory.desktop usr/share/icons/hicolor/scalable/apps/pressory.svg \
         usr/share/icons/hicolor/16x16/apps/pressory.png usr/share/icons/hicolor/48x48/apps/pressory.png \
         usr/share/icons/hicolor/256x256/apps/pressory.png; do
  [ -e "$root/$f" ] || fail "missing $f"
done
[ "$(file -b --mime-type "$root/usr/share/icons/hicolor/48x48/apps/pressory.png")" = image/png ] || fail "48x48 icon is not a PNG"
desktop-file-validate "$root/usr/share/applications/Pressory.desktop" "$root/usr/share/pressory/autostart/Pressory.desktop"
grep -qx 'Categories=Utility;' "$root/usr/share/applications/Pressory.desktop" || fail "desktop entry not in Utility"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6charts6 libc6; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
echo "package: files in place; Depends: $depends"

# The installed program under Xvfb, with the system's Qt.
n=150
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb :$n -noreset -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done
run_env=(env -i "HOME=$home" "PATH=/usr/bin:/bin" "DISPLAY=:$n" "QT_QPA_PLATFORM=xcb" "LANG=C.UTF-8")
"${run_env[@]}" "$root/usr/bin/Pressory" >"$work/out.log" 2>&1 &
pid=$!
"${run_env[@]}" timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Pressory$' >/dev/null ||
  { cat "$work/out.log"; fail "the installed program showed no window"; }
sleep 0.5
"${run_env[@]}" xdotool key a a b
sleep 0.5
kill -TERM "$pid"
for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill -9 "$pid"; fail "the program did not end on SIGTERM"; }
wait "$pid" || true

files=$home/.local/share/Pressory
history=$files/PressoryHistory.csv
[ -f "$history" ] || { ls -la "$home" "$root/usr/bin"; cat "$work/out.log"; fail "no history in $files"; }
[ -f "$files/Pressory.ini" ] || fail "no settings in $files"
lines=$(grep -c $'\r$' "$history")
[ "$lines" -eq 2 ] || fail "expected a header and one record, found $lines lines"
total=$(tail -n 1 "$history" | cut -d, -f11)
[ "$total" -ge 3 ] || fail "the record counts $total presses, expected at least 3"
extra=$(ls -A "$root/usr/bin" | grep -vx -e Pressory -e pressory || true)
[ -z "$extra" ] || fail "written beside the program: $extra"
echo "package: the installed program recorded $total presses in $files"
