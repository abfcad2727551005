#!/usr/bin/env bash
# A private session bus and desktop keyring for tests, apart from the user's.
#
#   keyring-test.sh start DIR [--no-keyring | --silent-keyring] [--owner PID]
#       Starts a session bus in DIR (no service activation, so nothing else
#       appears on it) and, unless --no-keyring, gnome-keyring-daemon with its
#       Secret Service on that bus, its login keyring in DIR, created and
#       unlocked with a test password. --silent-keyring instead offers a
#       Secret Service for activation that starts and never takes its name,
#       as a keyring that hangs would. Prints, one per line:
#         DBUS_SESSION_BUS_ADDRESS=<address>
#         KEYRING_PASSWORD=<the login keyring's password>
#       With --owner, everything is stopped (and DIR removed) once process
#       PID has gone, so a test that is killed leaves nothing behind.
#   keyring-test.sh stop-keyring DIR
#       Stops the keyring daemon only; the bus stays.
#   keyring-test.sh stop DIR
#       Stops both and removes DIR; does nothing when neither exists.
set -euo pipefail

password=mirx-test-keyring

die() {
    echo "keyring-test: $*" >&2
    exit 1
}

stop_pid() {
    local file=$1
    [ -f "$file" ] || return 0
    local pid
    pid=$(cat "$file")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$file"
}

secrets_owned() {
    DBUS_SESSION_BUS_ADDRESS=$1 dbus-send --session --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
        string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'
}

start() {
    local dir=$1
    shift
    local keyring=1 owner=
    while [ $# -gt 0 ]; do
        case $1 in
        --no-keyring) keyring=0 ;;
        --silent-keyring) keyring=silent ;;
        --owner) owner=$2; shift ;;
        *) die "unknown option $1" ;;
        esac
        shift
    done
    mkdir -p "$dir/home" "$dir/data" "$dir/run" "$dir/services"
    chmod 700 "$dir" "$dir/run"
    local services=
    if [ "$keyring" = silent ]; then
        # A monitor connection owns no name, and ends with the bus.
        printf '#!/bin/sh\nexec dbus-monitor --address "$DBUS_STARTER_ADDRESS" >/dev/null 2>&1\n' \
            > "$dir/silent-secrets.sh"
        chmod +x "$dir/silent-secrets.sh"
        printf '[D-BUS Service]\nName=org.freedesktop.secrets\nExec=%s\n' \
            "$dir/silent-secrets.sh" > "$dir/services/org.freedesktop.secrets.service"
        services="<servicedir>$dir/services</servicedir>"
    fi
    cat > "$dir/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$dir/run</listen>
  <auth>EXTERNAL</auth>
  $services
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    local started
    started=$(dbus-daemon --config-file="$dir/session.conf" --fork --print-address=1 \
        --print-pid=1 2>/dev/null) || die "dbus-daemon did not start"
    local address
    address=$(sed -n 1p <<<"$started")
    sed -n 2p <<<"$started" > "$dir/bus.pid"
    echo "$address" > "$dir/bus.address"
    if [ "$keyring" = 1 ]; then
        printf '%s' "$password" | env -i PATH="$PATH" HOME="$dir/home" \
            XDG_DATA_HOME="$dir/data" XDG_RUNTIME_DIR="$dir/run" \
            DBUS_SESSION_BUS_ADDRESS="$address" \
            gnome-keyring-daemon --foreground --unlock --components=secrets \
            > "$dir/keyring.log" 2>&1 &
        echo $! > "$dir/keyring.pid"
        for _ in $(seq 100); do
            secrets_owned "$address" && break
            sleep 0.1
        done
        secrets_owned "$address" || { cat "$dir/keyring.log" >&2; die "the keyring did not start"; }
    fi
    if [ -n "$owner" ]; then
        (
            while kill -0 "$owner" 2>/dev/null && [ -d "$dir" ]; do sleep 1; done
            "$0" stop "$dir"
        ) < /dev/null > /dev/null 2>&1 &
    fi
    echo "DBUS_SESSION_BUS_ADDRESS=$address"
    echo "KEYRING_PASSWORD=$password"
}

case ${1:-} in
start)
    [ $# -ge 2 ] || die "usage: $0 start DIR [--no-keyring] [--owner PID]"
    dir=$2
    shift 2
    start "$dir" "$@"
    ;;
stop-keyring)
    stop_pid "$2/keyring.pid"
    ;;
stop)
    [ -d "$2" ] || exit 0
    stop_pid "$2/keyring.pid"
    stop_pid "$2/bus.pid"
    rm -rf "$2"
    ;;
*)
    die "usage: $0 start|stop-keyring|stop DIR"
    ;;
esac
