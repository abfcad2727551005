#!/usr/bin/env bash
# The console's programs carry none of the simulator's code: a symbol of the
# simulator's namespace in either means a layer leaked.
set -euo pipefail
status=0
for program in "$@"; do
    leaked=$(nm -C "$program" | grep -c 'mirx::sim::' || true)
    if [ "$leaked" -ne 0 ]; then
        echo "$program holds $leaked simulator symbols, e.g.:"
        nm -C "$program" | grep 'mirx::sim::' | head -n 5
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "no simulator symbols in: $*"
exit "$status"
