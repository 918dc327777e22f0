#!/usr/bin/env bash
# Runs the end-to-end test RUNS times in a row (default 1) while stress-ng keeps two cores busy, as
# a loaded CI machine does, and stops at the first failure. Further arguments go to the test binary
# (a --gtest_filter picks the tests).
# Usage: e2e-under-load.sh E2E_BINARY [RUNS] [TEST_ARGUMENTS...]
#   50 runs of the closing tests:
#   tests/support/with-xvfb.sh tests/shell/e2e-under-load.sh build/tests/tavix_e2e_tests 50 --gtest_filter='*Closing*'
set -euo pipefail
binary="$1"
runs="${2:-1}"
shift $(($# < 2 ? $# : 2))
stress-ng --cpu 2 --timeout 3600s >/dev/null 2>&1 &
stress=$!
trap 'kill "$stress" 2>/dev/null || true; wait "$stress" 2>/dev/null || true' EXIT
for run in $(seq 1 "$runs"); do
    echo "run $run of $runs"
    if ! "$binary" "$@"; then
        echo "$((run - 1)) passed in a row, run $run failed"
        exit 1
    fi
done
echo "$runs passed in a row, 0 failed"
