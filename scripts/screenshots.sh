#!/usr/bin/env bash
# Screenshots of the login view and both main window layouts against the
# demo site, under a virtual X server: docs/screenshots/*.png.
set -euo pipefail
build=${1:-build/debug}
out=${2:-docs/screenshots}
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
    "$build/apps/mirx-screenshots" "$out" 2> >(grep -v '^[{[]' >&2)
