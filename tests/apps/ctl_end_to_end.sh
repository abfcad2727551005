#!/usr/bin/env bash
# The real programs: ondrel-sim --demo on a free port, mirx-ctl against it.
set -euo pipefail
bin=$1
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

"$bin/ondrel-sim" --demo --quiet > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do
    grep -q 'listening on' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
[ -n "$port" ] || { echo "ondrel-sim did not start"; cat "$work/sim.err"; exit 1; }

echo admin > "$work/pw"
out=$("$bin/mirx-ctl" --server "127.0.0.1:$port" --user admin --password-file "$work/pw" login-check)
grep -q 'privilege level: 1 (full administrator)' <<<"$out" || { echo "$out"; exit 1; }

# The profile now remembers the user; the password comes from stdin.
out=$(echo admin | "$bin/mirx-ctl" --server "127.0.0.1:$port" --password-stdin status)
grep -q '^active connections: ' <<<"$out" || { echo "$out"; exit 1; }

set +e
echo nope | "$bin/mirx-ctl" --server "127.0.0.1:$port" --password-stdin login-check 2> "$work/err"
rc=$?
set -e
[ "$rc" -eq 8 ] || { echo "wrong password gave exit status $rc"; exit 1; }
grep -qx 'Provided user name and/or password is invalid!' "$work/err"

mode=$(stat -c %a "$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf")
[ "$mode" = 600 ] || { echo "settings file mode $mode"; exit 1; }
echo "mirx-ctl against ondrel-sim: ok"
