#!/usr/bin/env bash
# The real programs: mirx-ctl log debug --follow against ondrel-sim writing a
# debug line every 200 ms prints the new lines, and SIGTERM ends it cleanly:
# the server is told to stop before the connection closes.
set -euo pipefail
bin=$1
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

"$bin/ondrel-sim" --demo --debug-line-interval 200 --frame-log "$work/frames" \
    > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do
    grep -q 'listening on' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
[ -n "$port" ] || { echo "ondrel-sim did not start"; cat "$work/sim.err"; exit 1; }
echo admin > "$work/pw"

"$bin/mirx-ctl" --server "127.0.0.1:$port" --user admin --password-file "$work/pw" \
    log debug --follow > "$work/log" 2> "$work/err" &
ctl=$!
# Lines the server writes after the command started come out as they come.
for _ in $(seq 50); do
    [ "$(grep -c 'Audio Mixer Thread: .* clients mixed' "$work/log" || true)" -ge 2 ] && break
    sleep 0.1
done
[ "$(grep -c 'Audio Mixer Thread: .* clients mixed' "$work/log" || true)" -ge 2 ] ||
    { echo "no new lines followed"; cat "$work/log" "$work/err"; exit 1; }

kill -s TERM "$ctl"
waited=0
while kill -0 "$ctl" 2>/dev/null && [ "$waited" -lt 10 ]; do
    sleep 0.1
    waited=$((waited + 1))
done
kill -0 "$ctl" 2>/dev/null && { echo "still runs a second after SIGTERM"; exit 1; }
set +e
wait "$ctl"
rc=$?
set -e
[ "$rc" -eq 143 ] || { echo "status $rc after SIGTERM"; cat "$work/err"; exit 1; }
# Every line printed is whole.
[ -z "$(tail -c 1 "$work/log")" ] || { echo "last line cut"; exit 1; }

# The stop request is the one request the server does not answer.
sleep 0.3
asked=$(grep -c '<- .*ADMIN_DEBUG_LOG_REQUEST' "$work/frames")
answered=$(grep -c -- '-> .*ADMIN_DEBUG_LOG_RESPONSE' "$work/frames")
[ "$asked" -eq $((answered + 1)) ] ||
    { echo "asked $asked, answered $answered: no stop request"; exit 1; }
echo "mirx-ctl log --follow against ondrel-sim: ok"
