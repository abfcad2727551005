#!/usr/bin/env bash
# Formatting of every tracked C++ file, then clang-tidy over the programs'
# and libraries' sources with the compile commands of a configured build.
set -euo pipefail
build=${1:?usage: lint.sh BUILD_DIR}
cd "$(dirname "$0")/.."

echo "lint: clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "lint: clang-tidy"
# Tests, benchmarks and fuzz targets follow the format but not every check.
git ls-files '*.cpp' | grep -vE '^(tests|bench|fuzz)/' |
    { xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null || true; } \
    >"$build/clang-tidy.log"
if grep -qE '(warning|error):' "$build/clang-tidy.log"; then
    grep -E '(warning|error):' "$build/clang-tidy.log" | sort -u
    echo "lint: clang-tidy found the problems above" >&2
    exit 1
fi
echo "lint: clean"
