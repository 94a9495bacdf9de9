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
desktop=usr/share/applications/org.example.Pressory.desktop
autostart=usr/share/pressory/autostart/Pressory.desktop
metainfo=usr/share/metainfo/org.example.Pressory.metainfo.xml
for f in usr/bin/Pressory usr/share/pressory/Help/Readme.html $desktop $autostart $metainfo \
         usr/share/icons/hicolor/scalable/apps/pressory.svg \
         usr/share/icons/hicolor/16x16/apps/pressory.png usr/share/icons/hicolor/48x48/apps/pressory.png \
         usr/share/icons/hicolor/128x128/apps/pressory.png usr/share/icons/hicolor/256x256/apps/pressory.png \
         usr/share/man/man1/pressory.1.gz usr/share/man/man1/Pressory.1.gz usr/share/man/ja/man1/pressory.1.gz \
         usr/share/doc/pressory/copyright usr/share/doc/pressory/changelog.gz; do
  [ -e "$root/$f" ] || fail "missing $f"
done
[ "$(file -b --mime-type "$root/usr/share/icons/hicolor/48x48/apps/pressory.png")" = image/png ] || fail "48x48 icon is not a PNG"
# The scalable icon is the same picture as the PNGs the program draws: at 256
# pixels no more than 1 % of the pixels differ by more than edge smoothing.
rsvg-convert -w 256 -h 256 "$root/usr/share/icons/hicolor/scalable/apps/pressory.svg" -o "$work/svg256.png" ||
  fail "rsvg-convert cannot draw the scalable icon"
differing=$(compare -metric AE -fuzz 20% "$work/svg256.png" "$root/usr/share/icons/hicolor/256x256/apps/pressory.png" \
            null: 2>&1) || true
[[ $differing =~ ^[0-9]+$ ]] && [ "$differing" -le 655 ] ||
  fail "the scalable icon and the 256 pixel icon differ ($differing pixels)"
desktop-file-validate "$root/$desktop" "$root/$autostart"
grep -qx 'Categories=Utility;' "$root/$desktop" || fail "desktop entry not in Utility"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6charts6 libc6; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *xdg-utils* ]] || fail "Recommends lacks xdg-utils"
echo "package: files in place; Depends: $depends"

# Reading the input devices: the rule inactive under share/pressory (nothing
# under /etc or /lib/udev), the helper that enables it, and the polkit
# action naming that helper where the package puts it.
rule=usr/share/pressory/70-pressory-uaccess.rules
helper=usr/libexec/pressory/pressory-input-access
policy=usr/share/polkit-1/actions/org.example.pressory.input-access.policy
for f in $rule $helper $policy; do [ -e "$root/$f" ] || fail "missing $f"; done
[ ! -e "$root/etc" ] && [ ! -e "$root/lib/udev" ] && [ ! -e "$root/usr/lib/udev" ] || fail "a udev rule is active on install"
python3 -c 'import sys, xml.etree.ElementTree as E; a = E.parse(sys.argv[1]).find(".//annotate[@key=\"org.freedesktop.policykit.exec.path\"]"); sys.exit(a is None or a.text != "/" + sys.argv[2])' \
  "$root/$policy" "$helper" || fail "the polkit action does not name /$helper"
here=$(cd "$(dirname "$0")" && pwd)
python3 "$here/../linux/check_udev_rule.py" "$root/$rule" || fail "the installed rule"
chmod 755 "$work"
"$here/../linux/test_input_access.sh" "$root/usr" || fail "the installed helper"

# As a Debian packager judges it: no lintian error or warning (information
# and overridden tags are fine), and metainfo that software centres accept.
if ! lintian --info --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1; then
  cat "$work/lintian.log"; fail "lintian reports errors or warnings (or did not run)"
fi
# Not even a note (information, pedantic) on the rule, its helper or the polkit action.
if lintian --display-info --pedantic --tag-display-limit 0 "$deb" 2>/dev/null |
  grep -E '^[EWIPX]: .*(70-pressory-uaccess|pressory-input-access|polkit)'; then
  fail "lintian notes the input-device access files"
fi
appstreamcli validate --no-net "$root/$metainfo" || fail "appstreamcli rejects the metainfo"
# (and with the menu entry and icon it names, as a software centre pairs them)
appstreamcli validate-tree --no-net "$root" >/dev/null || fail "appstreamcli rejects the installed tree"
echo "package: lintian and appstreamcli clean"

# The command line answers without a window and without a display.
bare_env=(env -i "HOME=$home" "PATH=/usr/bin:/bin" "LANG=C.UTF-8")
version=$("${bare_env[@]}" timeout 10 "$root/usr/bin/Pressory" --version) || fail "--version did not exit 0"
[ "$version" = "Pressory $(dpkg-deb -f "$deb" Version)" ] || fail "--version printed: $version"
"${bare_env[@]}" timeout 10 "$root/usr/bin/Pressory" --help >"$work/help.txt" || fail "--help did not exit 0"
grep -q -- '--version' "$work/help.txt" || fail "--help printed: $(cat "$work/help.txt")"
rc=0
"${bare_env[@]}" timeout 10 "$root/usr/bin/Pressory" --no-such-option >"$work/unknown.out" 2>"$work/unknown.err" || rc=$?
[ "$rc" -eq 2 ] || fail "an unknown option ended with $rc, expected 2"
[ ! -s "$work/unknown.out" ] && grep -q -- '--version' "$work/unknown.err" ||
  fail "an unknown option did not print the help to stderr"
[ -z "$(ls -A "$home")" ] || fail "the command line answers wrote files: $(ls -A "$home")"
echo "package: --version, --help and an unknown option answered without a display"

# The installed program under Xvfb, with the system's Qt.
n=150
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb :$n -noreset -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done
run_env=(env -i "HOME=$home" "PATH=/usr/bin:/bin" "DISPLAY=:$n" "QT_QPA_PLATFORM=xcb" "LANG=C.UTF-8")
# (A Qt option passes through to Qt.)
"${run_env[@]}" "$root/usr/bin/Pressory" -platform xcb >"$work/out.log" 2>&1 &
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
