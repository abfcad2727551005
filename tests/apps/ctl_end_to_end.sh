#!/usr/bin/env bash
# The real programs: ondrel-sim --demo on a free port, mirx-ctl against it.
set -euo pipefail
bin=$1
work=$(mktemp -d)
sims=()
trap 'for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
# Update downloads land here, not in the machine's /tmp.
export TMPDIR="$work"

# start_sim NAME [fault options...]: a demo simulator; sets $port.
start_sim() {
    local name=$1
    shift
    "$bin/ondrel-sim" --demo --quiet "$@" > "$work/$name.out" 2> "$work/$name.err" &
    sims+=($!)
    for _ in $(seq 50); do
        grep -q 'listening on' "$work/$name.out" 2>/dev/null && break
        sleep 0.1
    done
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/$name.out")
    [ -n "$port" ] || { echo "ondrel-sim did not start"; cat "$work/$name.err"; exit 1; }
}

start_sim sim

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

# interrupt SIGNAL EXPECTED DELAY ARGS...: runs mirx-ctl, sends SIGNAL after
# DELAY seconds, and wants it gone within a second with status EXPECTED.
interrupt() {
    local signal=$1 expected=$2 delay=$3
    shift 3
    "$bin/mirx-ctl" --server "127.0.0.1:$port" --user admin --password-file "$work/pw" "$@" \
        > /dev/null 2> "$work/err" &
    local ctl=$!
    sleep "$delay"
    kill -0 "$ctl" 2>/dev/null || { echo "$* ended before the $signal"; cat "$work/err"; exit 1; }
    kill -s "$signal" "$ctl"
    local waited=0
    while kill -0 "$ctl" 2>/dev/null && [ "$waited" -lt 10 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -0 "$ctl" 2>/dev/null && { echo "$* still runs a second after $signal"; exit 1; }
    set +e
    wait "$ctl"
    local rc=$?
    set -e
    [ "$rc" -eq "$expected" ] || { echo "$* after $signal: status $rc"; cat "$work/err"; exit 1; }
}

# Every phase: watching, exporting and running command files on a working
# server; the login answer and the download on servers that never answer.
interrupt INT 130 1 status --watch
interrupt TERM 143 1 run-command-files --folder "$work"
start_sim slow --answer-delay 300
interrupt INT 130 1.5 export
start_sim mute --ignore-id 6000
interrupt TERM 143 0.5 login-check
printf '#!/bin/sh\n' > "$work/install.sh"
start_sim stalled --offer-update "$work/install.sh" --ignore-id 7
interrupt INT 130 0.5 --accept-update login-check

# Honest refusals: a settings file that is a link is not used.
mv "$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf" "$work/real.conf"
ln -s "$work/real.conf" "$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf"
set +e
"$bin/mirx-ctl" --server "127.0.0.1:$port" --password-file "$work/pw" login-check 2> "$work/err"
rc=$?
set -e
[ "$rc" -eq 23 ] || { echo "settings link gave exit status $rc"; cat "$work/err"; exit 1; }
grep -q 'is a symbolic link' "$work/err" || { cat "$work/err"; exit 1; }
echo "mirx-ctl against ondrel-sim: ok"
