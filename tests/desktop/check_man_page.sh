#!/bin/sh
# A manual page the build wrote: present, naming its program for whatis, and
# free of formatter warnings.
page=$1
program=$(basename "$page" .1)
if [ ! -s "$page" ]; then
    echo "$page is missing: build the man-pages target" >&2
    exit 1
fi
whatis=$(lexgrog "$page") || { echo "$whatis"; exit 1; }
case $whatis in
*"\"$program - "*) ;;
*) echo "no NAME line for $program: $whatis" >&2; exit 1 ;;
esac
# Options appear escaped, as \-\-name.
grep -q -F -- '\-\-' "$page" || { echo "$page does not list the options" >&2; exit 1; }
warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { printf '%s\n' "$warnings"; exit 1; }
