#!/usr/bin/env bash
# One floating stopwatch window (620x220) running under a private Xvfb, with tenths of a second and
# without: CPU of the app and of the X server over SECONDS each, and the repaints per second that
# the tenths cost.
# Usage: bench/windows/tenths.sh [BUILD_DIR] [SECONDS]     (defaults: build, 30)
set -euo pipefail
seconds="${2:-30}"
# shellcheck source=bench/session.sh
source "$(dirname "$0")/../session.sh" 1920x1080x24 "$@"

for scene in tenths plain; do
    tenths=()
    [ "$scene" = plain ] || tenths=(--tenths)
    write_state one --mode stopwatch --running --time 83 "${tenths[@]}"
    start_tavix
    wait_mapped 1
    measure_cpu 3 # let start-up settle first
    stop_set
    xcpu="n/a"
    [ -z "$xserver" ] || xcpu="$(percent "$x_ticks")%"
    echo "stopwatch ($scene) cpu: $(percent "$app_ticks")% of one core over ${seconds} s (X server: ${xcpu})"
done
