#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 60), starting from its seeds in tests/fixtures/fuzz/<target>/. New inputs go
# to build/fuzz/<target>/corpus only: libFuzzer writes to the first corpus
# folder it is given, never to the seeds. A crash stops the run and leaves its
# input in build/fuzz/<target>/: keep it in tests/fixtures/fuzz/<target>/,
# where the engine tests replay every file.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

for exe in build/fuzz/fuzz/fuzz_*; do
    [ -f "$exe" ] && [ -x "$exe" ] || continue
    name=$(basename "$exe")
    work="build/fuzz/$name"
    mkdir -p "$work/corpus"
    seeds=()
    [ -d "tests/fixtures/fuzz/$name" ] && seeds+=("tests/fixtures/fuzz/$name")
    echo "== $name for ${seconds}s"
    (cd "$work" && "$OLDPWD/$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=0 corpus "${seeds[@]/#/$OLDPWD/}" 2>fuzz.log) || {
        tail -40 "$work/fuzz.log"
        echo "$name found a fault; its input is in $work" >&2
        exit 1
    }
    grep -E "^#[0-9]+.*DONE|Done [0-9]+ runs" "$work/fuzz.log" | tail -1 || true
done
