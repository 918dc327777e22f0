#!/usr/bin/env bash
# Renders Stage Mode from the real application under a private 1280x720 Xvfb into
# docs/images/stage-mode.png (the whole screen) and docs/images/stage-floating.png (the same clock
# floating, with its caption).
# Usage: docs/make-stage-screenshots.sh [BUILD_DIR]    (default: build)
set -euo pipefail
screen=1280x720x24
# shellcheck source=docs/screenshot-session.sh
source "$(dirname "$0")/screenshot-session.sh" "$@"

keynote=(--mode countdown --name Keynote --time 754 --origin "340,260" --size 600x220
    --message "Q&A after the talk" --remote off)
start_tavix one 1 "${keynote[@]}" --stage
"$build/tests/tavix_xgrab" "$root/docs/images/stage-mode.png"
stop_tavix
start_tavix one 1 "${keynote[@]}"
shoot Keynote stage-floating.png
stop_tavix
