#!/usr/bin/env bash
# Measures the end-to-end LTC latency, and how soon NO LTC shows after the signal stops, against a
# private PulseAudio daemon.
# Usage: bench/timecode/ltc_latency.sh [build directory, default build] [frame rate, default 30]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
exec tests/support/with-pulse.sh "$build/bench/tavix_ltc_latency" "${@:2}"
