#!/usr/bin/env bash
# End-to-end tests: the real Pressory under Xvfb (with a window manager and a
# notification area), driven from outside with the X test extension.
# Usage: tests/e2e/run_all.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
exec /usr/bin/python3 "$here/run.py" --program "$build/src/app/Pressory" --artefacts "$here/artefacts"
