#!/usr/bin/env bash
# The real programs: mirx-ctl report --pdf against ondrel-sim prints through
# the report views' printer on the offscreen platform, with no display and
# nothing on standard error; pdftotext reads the pages back.
set -euo pipefail
bin=$1
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

"$bin/ondrel-sim" --demo --quiet > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do
    grep -q 'listening on' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
[ -n "$port" ] || { echo "ondrel-sim did not start"; cat "$work/sim.err"; exit 1; }
echo admin > "$work/pw"
ctl() { "$bin/mirx-ctl" --server "127.0.0.1:$port" --user admin --password-file "$work/pw" "$@"; }

ctl report selectors > "$work/text"
ctl report selectors --pdf "$work/s.pdf" > "$work/out" 2> "$work/err"
[ ! -s "$work/out" ] || { echo "--pdf also wrote to standard output"; exit 1; }
[ ! -s "$work/err" ] || { echo "standard error:"; cat "$work/err"; exit 1; }

pages=$(pdfinfo "$work/s.pdf" | sed -n 's/^Pages: *//p')
[ "$pages" -ge 2 ] || { echo "the selector report printed on $pages page(s)"; exit 1; }
for page in $(seq "$pages"); do
    pdftotext -layout -f "$page" -l "$page" "$work/s.pdf" "$work/page"
    head -n 3 "$work/page" | grep -Eq "^ *MIRX System Administration +$page *$" ||
        { echo "page $page has no header:"; head -n 3 "$work/page"; exit 1; }
done
pdftotext -layout "$work/s.pdf" "$work/all"
grep -q 'SELECTOR ASSIGNMENTS REPORT as of' "$work/all"
# Every client's header line is printed, whole.
squeeze() { tr -s ' ' < "$1"; }
squeeze "$work/all" > "$work/all.squeezed"
grep "^'" "$work/text" | tr -s ' ' | while IFS= read -r line; do
    grep -qF -- "$line" "$work/all.squeezed" || { echo "not printed: $line"; exit 1; }
done

# Both files at once; a folder that is not there: status 25, nothing left.
ctl report connection-status --text "$work/c.txt" --pdf "$work/c.pdf"
[ -s "$work/c.txt" ] && [ -s "$work/c.pdf" ]
set +e
ctl report connection-status --pdf "$work/none/c.pdf" 2> "$work/err"
rc=$?
set -e
[ "$rc" -eq 25 ] || { echo "unwritable PDF gave status $rc"; cat "$work/err"; exit 1; }
grep -q "^mirx-ctl: $work/none/c.pdf: " "$work/err"
[ ! -e "$work/none" ]
echo ok
