#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds on a corpus kept under build/.
set -euo pipefail
build=$1; target=$2; seconds=$3
corpus="$build/corpus/$target"
mkdir -p "$corpus" "$build/artifacts"
seed="$(cd "$(dirname "$0")/.." && pwd)/fuzz/corpus/$target"
dirs=("$corpus")
[ -d "$seed" ] && dirs+=("$seed")
echo "fuzz: $target for ${seconds}s"
# An input that takes 10 s is a hang (an endless walk), reported as a failure.
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" "${dirs[@]}" 2>&1 | tail -n 12
