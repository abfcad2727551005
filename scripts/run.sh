#!/usr/bin/env bash
# The demo: ondrel-sim with its demo site on a free loopback port, and the
# console pointed at it. Without a display the headless mirx-ctl shows the
# live server status instead.
set -euo pipefail
build=${1:-build/debug}
work=$(mktemp -d)
sim=""
cleanup() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true # it saves its state on the way out
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$build/apps/ondrel-sim" --demo --quiet --state "$work/site.json" > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do
    grep -q 'listening on' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
[ -n "$port" ] || { echo "ondrel-sim did not start:"; cat "$work/sim.err"; exit 1; }
echo "ondrel-sim: demo site on 127.0.0.1:$port (login admin / admin)"

# A private settings folder: the demo never touches your own profiles. It
# starts with "Login Automatically" ticked so the main window comes up at once.
export XDG_CONFIG_HOME="$work/config"
mkdir -p -m 700 "$XDG_CONFIG_HOME/Talbrook"
printf '[Default]\nAutomaticLogin=n:1\n' > "$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf"
chmod 600 "$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    # Closing the console ends this script, and the trap stops the simulator.
    "$build/apps/mirx-admin" /ip_address 127.0.0.1 /ip_port "$port" /login_name admin /login_password admin
    exit 0
fi

echo "No display: mirx-ctl shows the link instead of the console window."
echo
echo admin > "$work/pw"
"$build/apps/mirx-ctl" --server "127.0.0.1:$port" --user admin --password-file "$work/pw" login-check
echo
if [ -t 1 ]; then
    echo "Live status, once a second (Ctrl-C to stop):"
    "$build/apps/mirx-ctl" --server "127.0.0.1:$port" --user admin --password-file "$work/pw" status --watch || true
else
    "$build/apps/mirx-ctl" --server "127.0.0.1:$port" --user admin --password-file "$work/pw" status
fi
