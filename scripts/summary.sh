#!/usr/bin/env bash
# Adds up the ctest summaries of the suites that ran and prints one closing line.
passed=0; failed=0
for log in "$@"; do
    [ -f "$log" ] || continue
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    [ -n "$line" ] || continue
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
done
echo "make test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
