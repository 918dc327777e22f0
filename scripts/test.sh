#!/usr/bin/env bash
# Installs what is missing, builds Tavix and runs the whole test suite, as CI does:
#   1. the normal build in build/: every test (unit, widget, end-to-end, PulseAudio, drills);
#   2. AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/: every test again;
#   3. ThreadSanitizer in build-tsan/: the timecode and persistence tests.
# One stage only: scripts/test.sh --quick (stage 1), --asan (stage 2) or --tsan (stage 3).
# Tests that need a display or a sound server start their own private Xvfb and PulseAudio daemon.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=(normal asan tsan)
case "${1:-}" in
    "") ;;
    --quick) stages=(normal) ;;
    --asan) stages=(asan) ;;
    --tsan) stages=(tsan) ;;
    *)
        echo "usage: $0 [--quick|--asan|--tsan]" >&2
        exit 2
        ;;
esac

bash scripts/setup.sh

run_stage() {
    local stage="$1" build_dir cmake_args ctest_args=()
    case "$stage" in
        normal)
            build_dir=build
            cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_SANITIZE=)
            ;;
        asan)
            build_dir=build-asan
            cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=address -DTAVIX_BUILD_BENCHMARKS=OFF)
            export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
            export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
            export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
            ;;
        tsan)
            build_dir=build-tsan
            cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=thread -DTAVIX_BUILD_BENCHMARKS=OFF)
            export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/support/tsan.supp"
            ctest_args=(-L "timecode|persistence")
            ;;
    esac
    echo "== $stage build in $build_dir"
    cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
    cmake --build "$build_dir"
    echo "== $stage tests"
    ctest --test-dir "$build_dir" --output-on-failure --timeout 900 -j2 "${ctest_args[@]}"
}

for stage in "${stages[@]}"; do
    (run_stage "$stage")
done
echo "== all stages passed: ${stages[*]}"
