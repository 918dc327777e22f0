#!/usr/bin/env bash
# Builds the state-decoder fuzz target with clang (libFuzzer + ASan + UBSan) and runs it.
#   fuzz/run.sh [seconds]    default 600
# Seeds are written state files and the malformed corpus in tests/data/corrupt (if present).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVIX_BUILD_FUZZERS=ON -DTAVIX_SANITIZE=address -DTAVIX_BUILD_TESTS=OFF -DTAVIX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target tavix_statedecoder_fuzz
corpus=build-fuzz/fuzz-corpus
mkdir -p "$corpus"
cp fuzz/seeds/* "$corpus"/ 2>/dev/null || true
cp tests/data/corrupt/* "$corpus"/ 2>/dev/null || true
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
./build-fuzz/tavix_statedecoder_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/ "$corpus"
