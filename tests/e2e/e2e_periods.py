#!/usr/bin/env python3
"""End-to-end tests of the program's promise that every press ends up in
exactly one history record: save-and-reset with its box open or the history
unwritable, stop requests while boxes and windows are open, periods kept over
failing runs, the settings written whole, and temporaries that follow no link.

The invariant checked wherever it can be: summed over all records, each key's
count equals the presses sent.
"""
import os
import sys

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


if __name__ == "__main__":
    sys.exit(e2e.main(globals()))
