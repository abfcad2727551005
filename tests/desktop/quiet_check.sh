#!/bin/sh
# Runs a checker and passes only when it succeeds without a word: hints and
# warnings count as failures too.
if ! command -v "$1" >/dev/null 2>&1; then
    echo "$1 is not installed (see scripts/packages.txt)" >&2
    exit 1
fi
out=$("$@" 2>&1)
status=$?
if [ -n "$out" ]; then
    printf '%s\n' "$out"
fi
[ "$status" -eq 0 ] && [ -z "$out" ]
