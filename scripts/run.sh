#!/usr/bin/env bash
# Starts the demo: ondrel-sim with its demo site on a free loopback port and
# the console pointed at it. Until those programs exist it says what does.
set -euo pipefail
build=${1:-build/debug}
if [ -x "$build/apps/mirx-admin" ] && [ -x "$build/apps/ondrel-sim" ]; then
    exec bash "$(dirname "$0")/demo.sh" "$build"
fi
echo "make run: the console (mirx-admin) and the server stand-in (ondrel-sim) are not built yet."
echo "What exists today is the foundation library with its tests and benchmark:"
echo "  make test    - the whole test suite (debug, AddressSanitizer, ThreadSanitizer, fuzzing)"
echo "  make bench   - benchmarks; build/release/bench/bench_frame_cut prints the cutter ratio"
ls "$build"/tests/test_* 2>/dev/null | sed 's/^/  built: /'
