#!/usr/bin/env bash
# Measures the end-to-end LTC latency against a private PulseAudio daemon.
# Usage: bench/timecode/ltc_latency.sh [build directory, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
exec tests/support/with-pulse.sh "$build/bench/tavix_ltc_latency"
