#!/usr/bin/env bash
# A private slapd for tests, independent of the system service and of /etc/ldap.
#
#   slapd-test.sh start [DIR] [--owner PID] [--tls] [--allow-anonymous]
#                       [--map-to DN]
#       Starts slapd with its configuration, database and socket in DIR (a new
#       temporary folder when omitted) and prints, one per line:
#         SLAPD_DIR=<folder>
#         SLAPD_LDAPI_URI=ldapi://<socket path, URL-encoded>
#         SLAPD_LDAP_URI=ldap://127.0.0.1:<port>
#       and with --tls (a fresh self-signed certificate for 127.0.0.1, made
#       with openssl; StartTLS on the ldap port and an ldaps port):
#         SLAPD_LDAPS_URI=ldaps://127.0.0.1:<port + 1>
#         SLAPD_CA_FILE=<the certificate, to trust it>
#         SLAPD_CLIENT_CERT=<a client certificate for cn=<current user>>
#         SLAPD_CLIENT_KEY=<its key>
#       A SASL EXTERNAL bind over TLS with that client certificate maps to DN
#       as the peer credentials do.
#       A server already running in DIR is reused. With --owner, the server is
#       stopped (and DIR removed) once process PID has gone, so a test that is
#       killed leaves nothing behind. --allow-anonymous lets SASL ANONYMOUS
#       binds through (slapd refuses them by default).
#   slapd-test.sh stop DIR
#       Stops the server and removes DIR; does nothing when neither exists.
#
# Suffix dc=mirx,dc=test on an mdb database; rootdn cn=admin,dc=mirx,dc=test.
# A SASL EXTERNAL bind over ldapi by the current user maps to DN, by default
# uid=<current user>,ou=people,dc=mirx,dc=test.
set -euo pipefail

slapd_bin=${SLAPD:-/usr/sbin/slapd}
marker=.mirx-slapd

die() {
    echo "slapd-test: $*" >&2
    exit 1
}

# RFC 3986 percent-encoding of everything but unreserved characters.
urlencode() {
    local LC_ALL=C s=$1 out="" c i
    for ((i = 0; i < ${#s}; i++)); do
        c=${s:i:1}
        case $c in
        [A-Za-z0-9._~-]) out+=$c ;;
        *) out+=$(printf '%%%02X' "'$c") ;;
        esac
    done
    printf '%s' "$out"
}

# True while PID is a live slapd: a recycled pid belongs to somebody else, and
# a killed server may linger as a zombie where nobody reaps orphans.
is_slapd() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    [[ $stat =~ ^[0-9]+\ \(slapd\)\ [^Z] ]]
}

# The pid of the slapd serving DIR, or nothing.
running_pid() {
    local dir=$1 pid
    [ -f "$dir/slapd.pid" ] || return 0
    pid=$(<"$dir/slapd.pid")
    if [[ $pid =~ ^[0-9]+$ ]] && is_slapd "$pid"; then
        echo "$pid"
    fi
}

write_config() {
    local dir=$1 map_to=$2 tls=$3 anonymous=$4 uid
    uid=$(id -u)
    mkdir -p "$dir/db"
    # dc and ou are not built into slapd (a mapped DN that does not normalize
    # maps to nobody); the rest of the core schema is not needed.
    cat >"$dir/slapd.conf" <<EOF
modulepath /usr/lib/ldap
moduleload back_mdb
attributetype ( 0.9.2342.19200300.100.1.25 NAME ( 'dc' 'domainComponent' )
  EQUALITY caseIgnoreIA5Match SUBSTR caseIgnoreIA5SubstringsMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.26 SINGLE-VALUE )
attributetype ( 2.5.4.11 NAME ( 'ou' 'organizationalUnitName' )
  EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )
pidfile $dir/slapd.pid
argsfile $dir/slapd.args
authz-regexp "^gidNumber=[0-9]+[+]uidNumber=$uid,cn=peercred,cn=external,cn=auth\$"
  "$map_to"
EOF
    if [ -n "$anonymous" ]; then
        echo "sasl-secprops none" >>"$dir/slapd.conf"
    fi
    if [ -n "$tls" ]; then
        make_certificate "$dir" "127.0.0.1" "subjectAltName=IP:127.0.0.1" cert.pem key.pem
        make_certificate "$dir" "$(id -un)" "basicConstraints=critical,CA:FALSE" client-cert.pem \
            client-key.pem
        # The self-signed client certificate is its own trust anchor.
        cat >>"$dir/slapd.conf" <<EOF
TLSCertificateFile $dir/cert.pem
TLSCertificateKeyFile $dir/key.pem
TLSCACertificateFile $dir/client-cert.pem
TLSVerifyClient allow
authz-regexp "^cn=$(id -un)\$"
  "$map_to"
EOF
    fi
    cat >>"$dir/slapd.conf" <<EOF
database mdb
maxsize 16777216
suffix "dc=mirx,dc=test"
rootdn "cn=admin,dc=mirx,dc=test"
directory $dir/db
EOF
}

# make_certificate DIR CN EXTENSION CERT KEY: a self-signed EC certificate.
make_certificate() {
    local dir=$1 cn=$2 extension=$3 cert=$4 key=$5
    command -v openssl >/dev/null || die "openssl not found (install the openssl package)"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -subj "/CN=$cn" -addext "$extension" \
        -keyout "$dir/$key" -out "$dir/$cert" >/dev/null 2>&1 ||
        die "openssl could not make a certificate"
}

stop() {
    local dir=$1 pid i
    [ -d "$dir" ] || return 0
    pid=$(running_pid "$dir")
    if [ -n "$pid" ]; then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 100; i++)); do
            is_slapd "$pid" || break
            sleep 0.02
        done
        if is_slapd "$pid"; then
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    # Only a folder this script set up is ever removed.
    if [ -f "$dir/$marker" ]; then
        rm -rf "$dir"
    fi
}

watch_owner() {
    local dir=$1 owner=$2 self
    self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
    # shellcheck disable=SC2016 # expanded by the inner shell
    setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 0.5; done; exec "$2" stop "$3"' \
        watcher "$owner" "$self" "$dir" </dev/null >/dev/null 2>&1 &
}

start() {
    local dir=$1 owner=$2 tls=$3 anonymous=$4 map_to=$5 pid port ldapi uri ldaps urls attempt
    [ -n "$map_to" ] || map_to="uid=$(id -un),ou=people,dc=mirx,dc=test"
    [ -x "$slapd_bin" ] || die "$slapd_bin not found (install the slapd package)"
    if [ -z "$dir" ]; then
        dir=$(mktemp -d "${TMPDIR:-/tmp}/mirx-slapd.XXXXXX")
    fi
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    touch "$dir/$marker"
    # A unix socket path holds at most 107 bytes.
    [ ${#dir} -le 100 ] || die "folder path too long for a unix socket: $dir"
    ldapi="ldapi://$(urlencode "$dir/ldapi")"

    pid=$(running_pid "$dir")
    if [ -n "$pid" ] && [ -f "$dir/uris" ]; then
        cat "$dir/uris"
        return 0
    fi
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    rm -rf "$dir/db" "$dir/uris" "$dir/slapd.pid" "$dir/ldapi"
    write_config "$dir" "$map_to" "$tls" "$anonymous"
    "$slapd_bin" -Tt -u -f "$dir/slapd.conf" >"$dir/config-check.log" 2>&1 ||
        die "configuration rejected: $(cat "$dir/config-check.log")"

    # The configuration is known good, so a failed start means the port was
    # taken; try another one. slapd returns only once it listens.
    for ((attempt = 0; attempt < 20; attempt++)); do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        uri="ldap://127.0.0.1:$port"
        ldaps="ldaps://127.0.0.1:$((port + 1))"
        urls="$ldapi $uri"
        [ -z "$tls" ] || urls+=" $ldaps"
        if "$slapd_bin" -f "$dir/slapd.conf" -h "$urls" </dev/null >/dev/null 2>&1; then
            printf 'SLAPD_DIR=%s\nSLAPD_LDAPI_URI=%s\nSLAPD_LDAP_URI=%s\n' "$dir" "$ldapi" "$uri" \
                >"$dir/uris"
            if [ -n "$tls" ]; then
                printf 'SLAPD_LDAPS_URI=%s\nSLAPD_CA_FILE=%s\n' "$ldaps" "$dir/cert.pem" \
                    >>"$dir/uris"
                printf 'SLAPD_CLIENT_CERT=%s\nSLAPD_CLIENT_KEY=%s\n' "$dir/client-cert.pem" \
                    "$dir/client-key.pem" >>"$dir/uris"
            fi
            [ -z "$owner" ] || watch_owner "$dir" "$owner"
            cat "$dir/uris"
            return 0
        fi
    done
    die "slapd did not start (no free port after $attempt attempts?)"
}

cmd=${1:-}
shift || true
case $cmd in
start)
    dir="" owner="" tls="" anonymous="" map_to=""
    while [ $# -gt 0 ]; do
        case $1 in
        --owner)
            owner=${2:?--owner needs a pid}
            shift 2
            ;;
        --map-to)
            map_to=${2:?--map-to needs a DN}
            shift 2
            ;;
        --tls)
            tls=1
            shift
            ;;
        --allow-anonymous)
            anonymous=1
            shift
            ;;
        *)
            dir=$1
            shift
            ;;
        esac
    done
    start "$dir" "$owner" "$tls" "$anonymous" "$map_to"
    ;;
stop)
    stop "${1:?usage: $0 stop DIR}"
    ;;
*)
    echo "usage: $0 start [DIR] [--owner PID] [--tls] [--allow-anonymous] [--map-to DN]" \
        "| stop DIR" >&2
    exit 2
    ;;
esac
