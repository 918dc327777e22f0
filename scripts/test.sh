#!/usr/bin/env bash
# Installs what is missing, builds Tavix and runs the whole test suite, as CI does:
#   1. normal: the build in build/ and every test (unit, widget, end-to-end, PulseAudio, drills, lint);
#   2. asan: AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/: the unit, widget,
#      end-to-end and live-server tests again (not the drills);
#   3. tsan: ThreadSanitizer in build-tsan/: the timecode and persistence tests.
# In a full run each sanitizer build is compiled while the previous stage's tests run (those
# mostly wait on real time), so the whole run stays short on a two-core machine.
# One stage only: scripts/test.sh --quick (stage 1), --asan (stage 2) or --tsan (stage 3).
# TAVIX_CHECK_TIDY=ON adds the clang-tidy test to stage 1 (several CPU-minutes, so not by default).
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

stage_dir() {
    case "$1" in
        normal) echo build ;;
        asan) echo build-asan ;;
        tsan) echo build-tsan ;;
    esac
}

# Configures and builds one stage; only what its tests need.
build_stage() {
    local stage="$1" dir
    dir=$(stage_dir "$stage")
    local cmake_args=() targets=()
    case "$stage" in
        normal)
            # Optimised as shipped, without debug information (which costs a fifth of the build);
            # clang-tidy reparses every source (about 5 CPU-minutes): on request only.
            # (-O2 as in RelWithDebInfo: GCC 12's -O3 warns falsely inside std::string.)
            cmake_args=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
                -DTAVIX_SANITIZE= "-DTAVIX_CHECK_TIDY=${TAVIX_CHECK_TIDY:-OFF}")
            ;;
        asan) cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=address -DTAVIX_BUILD_BENCHMARKS=OFF) ;;
        tsan)
            cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=thread -DTAVIX_BUILD_BENCHMARKS=OFF)
            targets=(--target tavix_tsan_tests)
            ;;
    esac
    # Sources compiled in batches (less than half the CPU time); the sanitizer stages keep line
    # tables only, which is all their reports need.
    cmake_args+=(-DTAVIX_UNITY_BUILD=ON -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)
    cmake -S . -B "$dir" -G Ninja "${cmake_args[@]}" >/dev/null
    cmake --build "$dir" "${targets[@]}"
}

test_stage() {
    local stage="$1" dir ctest_args=()
    dir=$(stage_dir "$stage")
    case "$stage" in
        normal) ;;
        asan)
            export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
            export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
            export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
            ctest_args=(-LE "drills|lint|stress|load")
            ;;
        tsan)
            export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/support/tsan.supp"
            ctest_args=(-L "timecode|persistence")
            ;;
    esac
    echo "== $stage tests"
    ctest --test-dir "$dir" --output-on-failure --timeout 900 -j2 "${ctest_args[@]}"
}

# Runs a build in the background at low priority; its output goes to a log shown on failure.
# Sets bg_pid.
background_build() {
    local stage="$1"
    nice -n 10 bash -c "$(declare -f stage_dir build_stage); build_stage $stage" >"/tmp/tavix-build-$stage.log" 2>&1 &
    bg_pid=$!
}

wait_build() {
    local stage="$1" pid="$2"
    if ! wait "$pid"; then
        echo "== $stage build failed:" >&2
        cat "/tmp/tavix-build-$stage.log" >&2
        exit 1
    fi
    echo "== $stage build done"
}

start=$SECONDS
echo "== ${stages[0]} build"
build_stage "${stages[0]}"
for i in "${!stages[@]}"; do
    stage="${stages[$i]}"
    next="${stages[$((i + 1))]:-}"
    pid=""
    if [ -n "$next" ]; then
        echo "== $next build (in the background)"
        background_build "$next"
        pid=$bg_pid
    fi
    (test_stage "$stage")
    echo "== $stage stage passed after $((SECONDS - start)) s"
    if [ -n "$pid" ]; then
        wait_build "$next" "$pid"
    fi
done
echo "== all stages passed: ${stages[*]} in $((SECONDS - start)) s"
