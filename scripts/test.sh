#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# warnings as errors, runs every test under CTest, then gives each fuzz
# target a short run. QVX_SKIP_FUZZ=1 leaves the fuzzing out.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset ci
cmake --build --preset ci -j2
ctest --preset ci -j2

if [ "${QVX_SKIP_FUZZ:-0}" != 1 ]; then
    bash scripts/fuzz.sh "${QVX_FUZZ_SECONDS:-20}"
fi
