#!/usr/bin/env bash
# Renders one screenshot per clock mode from the real application under a private Xvfb into
# docs/images/window-*.png.
# Usage: docs/make-window-screenshots.sh [BUILD_DIR]    (default: build)
set -euo pipefail
# shellcheck source=docs/screenshot-session.sh
source "$(dirname "$0")/screenshot-session.sh" "$@"

start_tavix modes 6
shoot Studio window-time.png
shoot Segment window-countdown.png
shoot Overtime window-countdown-overtime.png
shoot Rehearsal window-stopwatch.png
shoot Doors window-time-until.png
shoot LTC window-timecode.png
"$build/tests/tavix_xgrab" "$root/docs/images/window-all.png"
stop_tavix
