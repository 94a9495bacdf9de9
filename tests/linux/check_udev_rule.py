#!/usr/bin/env python3
"""The uaccess rule read the way udev reads it, against fake devices: which
devices get the "uaccess" tag. udev itself needs a /sys with devices to run
`udevadm test`, and this machine has none; this reader knows the few rule
forms the file may use and refuses any other line, so a rule written in a
form it does not know fails here instead of passing unread.
Usage: check_udev_rule.py RULE_FILE"""
import re
import sys

KEY = r'(ACTION|SUBSYSTEM|KERNEL|ENV\{[A-Z_]+\}|TAG|GOTO|LABEL)'
PAIR = re.compile(KEY + r'\s*(==|!=|\+=|=)\s*"([^"]*)"\s*(?:,\s*|$)')


def parse(text):
    rules = []
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        pairs, pos = [], 0
        while pos < len(line):
            m = PAIR.match(line, pos)
            if not m:
                raise SyntaxError("line %d: cannot read %r" % (number, line[pos:]))
            pairs.append(m.groups())
            pos = m.end()
        rules.append((number, pairs))
    return rules


def glob(pattern, value):
    return re.fullmatch(re.escape(pattern).replace(r"\*", ".*"), value) is not None


def apply(rules, device):
    """The tags the rules give `device` (action, subsystem, kernel, env)."""
    tags, skip_to = set(), None
    labels = {p[2] for _, pairs in rules for p in pairs if p[0] == "LABEL"}
    for number, pairs in rules:
        if skip_to is not None:
            if ("LABEL", "=", skip_to) in pairs:
                skip_to = None
            continue
        matched = True
        for key, op, value in pairs:
            if op not in ("==", "!="):
                continue
            if key.startswith("ENV{"):
                actual = device["env"].get(key[4:-1], "")
            else:
                actual = device[key.lower()]
            if glob(value, actual) != (op == "=="):
                matched = False
        if not matched:
            continue
        for key, op, value in pairs:
            if key == "TAG" and op == "+=":
                tags.add(value)
            elif key == "GOTO":
                if value not in labels:
                    raise SyntaxError("line %d: GOTO to a missing label %s" % (number, value))
                skip_to = value
            elif op in ("+=", "=") and key not in ("LABEL",):
                raise SyntaxError("line %d: an assignment this check does not know: %s" % (number, key))
    return tags


def device(env, action="add", subsystem="input", kernel="event3"):
    return {"action": action, "subsystem": subsystem, "kernel": kernel, "env": env}


def main():
    rules = parse(open(sys.argv[1]).read())
    keyboard = {"ID_INPUT": "1", "ID_INPUT_KEY": "1", "ID_INPUT_KEYBOARD": "1"}
    mouse = {"ID_INPUT": "1", "ID_INPUT_MOUSE": "1"}
    cases = [
        ("a keyboard's event node", device(keyboard), True),
        ("a mouse's event node", device(mouse), True),
        ("a keyboard's node on change (udevadm trigger)", device(keyboard, action="change"), True),
        ("a keyboard going away", device(keyboard, action="remove"), False),
        ("the power button (keys, not a keyboard)", device({"ID_INPUT": "1", "ID_INPUT_KEY": "1"}), False),
        ("a joystick", device({"ID_INPUT": "1", "ID_INPUT_JOYSTICK": "1"}), False),
        ("a touchpad", device({"ID_INPUT": "1", "ID_INPUT_TOUCHPAD": "1"}), False),
        ("a keyboard's legacy node", device(keyboard, kernel="input5"), False),
        ("a mouse's mouse0 node", device(mouse, kernel="mouse0"), False),
        ("a hidraw node of a keyboard", device(keyboard, subsystem="hidraw", kernel="hidraw0"), False),
    ]
    failed = 0
    for what, dev, wanted in cases:
        got = "uaccess" in apply(rules, dev)
        if got != wanted:
            failed += 1
            print("FAIL %s: uaccess %s, expected %s" % (what, got, wanted))
    print("udev rule: %d cases, %d failed" % (len(cases), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
