#!/usr/bin/env bash
# Installs what is missing, builds Tavix and runs the whole test suite.
#   scripts/test.sh           normal build in build/, every test
#   scripts/test.sh --asan    AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/, every test
#   scripts/test.sh --tsan    ThreadSanitizer build in build-tsan/, the timecode and persistence tests
# Tests that need a display or a sound server start their own private Xvfb and PulseAudio daemon.
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-}"
build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
ctest_args=()
case "$mode" in
    "") ;;
    --asan)
        build_dir=build-asan
        cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=address -DTAVIX_BUILD_BENCHMARKS=OFF)
        export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
        export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
        ;;
    --tsan)
        build_dir=build-tsan
        cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=thread -DTAVIX_BUILD_BENCHMARKS=OFF)
        export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/support/tsan.supp"
        ctest_args=(-L "timecode|persistence")
        ;;
    *)
        echo "usage: $0 [--asan|--tsan]" >&2
        exit 2
        ;;
esac

bash scripts/setup.sh
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j2 "${ctest_args[@]}"
