#!/usr/bin/env bash
# Renders one screenshot per clock mode from the real application under a private Xvfb into
# docs/images/window-*.png.
# Usage: docs/make-window-screenshots.sh [BUILD_DIR]    (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen 1920x1080x24 "$0" "$build"
fi

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$data/Tavix"
"$build/tavix_makestate" "$data/Tavix/tavix.plist" modes
XDG_DATA_HOME="$data" LANG=en_GB.UTF-8 TZ=Europe/London "$build/tavix" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 200); do
    [ "$(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null | wc -l)" -ge 6 ] && break
    sleep 0.05
done
sleep 1.5
shoot() { # title file
    local id geometry
    id=$(xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" | head -n1)
    geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
                                          /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
    # shellcheck disable=SC2086
    "$build/tests/tavix_xgrab" "$root/docs/images/$2" $geometry
}
shoot Studio window-time.png
shoot Segment window-countdown.png
shoot Overtime window-countdown-overtime.png
shoot Rehearsal window-stopwatch.png
shoot Doors window-time-until.png
shoot LTC window-timecode.png
"$build/tests/tavix_xgrab" "$root/docs/images/window-all.png"
kill -TERM "$pid"
wait "$pid" || true
