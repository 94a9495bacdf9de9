#!/usr/bin/env bash
# The helper that enables the uaccess rule: enable copies the rule into the
# rules folder and makes udev reload and replay the input devices; disable
# removes it and does the same; both are idempotent (nothing replayed when
# nothing changes); anything else is refused. Run without root (as nobody
# when started as root), so that the rules folder is a temporary one and
# udevadm a stand-in that logs its arguments.
# Usage: tests/linux/test_input_access.sh [PREFIX]   (PREFIX holds
# libexec/pressory/pressory-input-access and share/pressory/; the source
# tree's files are laid out so when none is given)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "input access helper: $*"; exit 1; }

if [ $# -ge 1 ]; then
  prefix=$(realpath "$1")
else
  prefix=$work/prefix
  mkdir -p "$prefix/libexec/pressory" "$prefix/share/pressory"
  cp "$here/../../packaging/linux/pressory-input-access" "$prefix/libexec/pressory/"
  cp "$here/../../packaging/linux/70-pressory-uaccess.rules" "$prefix/share/pressory/"
  chmod -R a+rX "$prefix"
fi
helper=$prefix/libexec/pressory/pressory-input-access
rule=$prefix/share/pressory/70-pressory-uaccess.rules
[ -x "$helper" ] && [ -f "$rule" ] || fail "no helper or rule under $prefix"

mkdir -p "$work/bin" "$work/rules"
cat >"$work/bin/udevadm" <<'STUB'
#!/bin/sh
echo "$*" >>"$UDEVADM_LOG"
STUB
chmod 755 "$work/bin/udevadm"
chmod 777 "$work/rules"
log=$work/udevadm.log
touch "$log"
chmod 666 "$log"
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
helper_run() {
  env -i "PATH=$work/bin:/usr/bin:/bin" "PRESSORY_RULES_DIR=$work/rules" "UDEVADM_LOG=$log" \
    "${as_user[@]}" "$helper" "$@"
}
replays() { grep -c -- '--subsystem-match=input --action=change' "$log" || true; }

[ "$(helper_run status)" = disabled ] || fail "status before enable is not disabled"
[ "$(helper_run enable)" = enabled ] || fail "enable did not say enabled"
cmp -s "$rule" "$work/rules/70-pressory-uaccess.rules" || fail "enable did not copy the rule"
[ "$(stat -c %a "$work/rules/70-pressory-uaccess.rules")" = 644 ] || fail "the rule is not mode 644"
grep -qx 'control --reload' "$log" || fail "enable did not reload udev: $(cat "$log")"
[ "$(replays)" -eq 1 ] || fail "enable did not replay the input devices once"
[ "$(helper_run status)" = enabled ] || fail "status after enable is not enabled"
helper_run enable >/dev/null || fail "enable twice failed"
[ "$(replays)" -eq 1 ] || fail "enable twice replayed again"
[ "$(ls -A "$work/rules")" = 70-pressory-uaccess.rules ] || fail "left behind: $(ls -A "$work/rules")"

[ "$(helper_run disable)" = disabled ] || fail "disable did not say disabled"
[ ! -e "$work/rules/70-pressory-uaccess.rules" ] || fail "disable left the rule"
[ "$(replays)" -eq 2 ] || fail "disable did not replay the input devices"
helper_run disable >/dev/null || fail "disable twice failed"
[ "$(replays)" -eq 2 ] || fail "disable twice replayed again"

for args in "" "enabel" "enable extra" "--help" "enable;id"; do
  rc=0
  # shellcheck disable=SC2086  # the words of each case are its arguments
  helper_run $args >/dev/null 2>&1 || rc=$?
  [ "$rc" -eq 2 ] || fail "'$args' ended with $rc, expected 2"
done
[ -z "$(ls -A "$work/rules")" ] || fail "a refused command changed the rules folder"
echo "input access helper: enable, disable, idempotent, refuses anything else"
