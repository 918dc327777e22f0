#!/usr/bin/env bash
# Measures how long the main thread is held up while a timecode clock lists 40 sources of a
# private PulseAudio daemon (its two null-sink monitors and 38 null sources).
# Usage: bench/timecode/listing_stall.sh [build directory, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
exec tests/support/with-pulse.sh bash -c '
    for i in $(seq 1 38); do
        pactl load-module module-null-source source_name=stall$i rate=48000 channels=2 >/dev/null
    done
    exec "$0"' "$build/bench/tavix_listing_stall"
