#!/usr/bin/env bash
# Renders the overtime flash styles from the real application under a private Xvfb: three running
# countdowns in overtime ("Text", "Outline and background", "Off"), each shot twice a second apart
# so that both phases of the flash show, into docs/images/window-flash-*-{1,2}.png.
# Usage: docs/make-flash-screenshots.sh [BUILD_DIR]    (default: build)
set -euo pipefail
# shellcheck source=docs/screenshot-session.sh
source "$(dirname "$0")/screenshot-session.sh" "$@"

start_tavix flash 3
# The flash turns once a second and a shot takes most of a second: two shots in a row show
# both phases (look at them before committing).
for window in "Text:text" "Outline and background:outline" "Off:off"; do
    shoot "${window%%:*}" "window-flash-${window##*:}-1.png"
    sleep 0.2
    shoot "${window%%:*}" "window-flash-${window##*:}-2.png"
done
stop_tavix
