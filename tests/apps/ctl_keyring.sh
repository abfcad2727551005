#!/usr/bin/env bash
# mirx-ctl and the desktop keyring, for real: gnome-keyring on a private
# session bus, ondrel-sim on a free port. A password --save-password stores
# goes to the keyring and not to the settings file; later runs find it there;
# a run that cannot reach the keyring says where the password is and how to
# give it; with no keyring the password goes to the file, with one notice.
set -euo pipefail
bin=$1
session_script=$2
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; "$session_script" stop "$work/session"; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work"
unset DISPLAY
conf="$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf"
service="MIRX System Administration"

fail() {
    echo "$*"
    [ -f "$work/err" ] && cat "$work/err"
    [ -f "$conf" ] && cat "$conf"
    exit 1
}

while IFS= read -r line; do
    export "${line?}"
done < <("$session_script" start "$work/session" --owner $$)

"$bin/ondrel-sim" --demo --quiet > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do
    grep -q 'listening on' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
[ -n "$port" ] || fail "ondrel-sim did not start"
ctl=("$bin/mirx-ctl" --profile site --server "127.0.0.1:$port")

echo admin > "$work/pw"
"${ctl[@]}" --user admin --password-file "$work/pw" --save-password login-check > /dev/null \
    2> "$work/err" || fail "saving the password failed"
grep -q '^Password=' "$conf" && fail "the password stayed in the settings file"
[ "$(secret-tool lookup user "site@127.0.0.1" server "$service")" = admin ] ||
    fail "the keyring does not hold the password"
[ -s "$work/err" ] && fail "a notice although the keyring took the password"

out=$("${ctl[@]}" login-check) || fail "the stored password was not found"
grep -q 'privilege level: 1' <<<"$out" || fail "$out"

expect_no_password() {
    set +e
    "$@" login-check > /dev/null 2> "$work/err"
    local rc=$?
    set -e
    [ "$rc" -eq 16 ] || fail "exit status $rc without the keyring"
    grep -q 'kept in the desktop keyring' "$work/err" || fail "no word of the keyring"
    grep -q -- '--password-file FILE or --password-stdin' "$work/err" || fail "no way out named"
}
"$session_script" stop-keyring "$work/session"
expect_no_password "${ctl[@]}"
expect_no_password env -u DBUS_SESSION_BUS_ADDRESS "${ctl[@]}"

# No keyring: the saved password goes to the file, and the user hears of it once.
for _ in 1 2; do
    echo admin | "${ctl[@]}" --password-stdin --save-password login-check > /dev/null \
        2>> "$work/notices" || fail "saving without a keyring failed"
done
grep -q '^Password=s:"admin"$' "$conf" || fail "the password is not in the file"
[ "$(grep -c 'so it is kept in' "$work/notices")" -eq 1 ] || fail "$(cat "$work/notices")"
out=$("${ctl[@]}" login-check) || fail "the password in the file was not used"
echo "mirx-ctl with and without a keyring: ok"
