#!/usr/bin/env python3
"""Runs every end-to-end test, feature by feature, on one desktop.
Usage: run.py --program PATH --artefacts DIR [-k SUBSTRING]"""
import importlib
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

FEATURES = ["e2e_window", "e2e_counting", "e2e_start", "e2e_periods", "e2e_history", "e2e_sound", "e2e_help",
            "e2e_activity", "e2e_wayland", "e2e_activity_statistics"]

if __name__ == "__main__":
    sys.exit(harness.main([vars(importlib.import_module(m)) for m in FEATURES]))
