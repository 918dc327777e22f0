#!/usr/bin/env bash
# Renders the overtime flash styles from the real application under a private Xvfb: three running
# countdowns in overtime ("Text", "Outline and background", "Off"), each shot twice a second apart
# so that both phases of the flash show, into docs/images/window-flash-*-{1,2}.png.
# Usage: docs/make-flash-screenshots.sh [BUILD_DIR]    (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen 1920x1080x24 "$0" "$build"
fi

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$data/Tavix"
"$build/tavix_makestate" "$data/Tavix/tavix.plist" flash
XDG_DATA_HOME="$data" LANG=en_GB.UTF-8 TZ=Europe/London "$build/tavix" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 200); do
    [ "$(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null | wc -l)" -ge 3 ] && break
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
# The flash turns once a second and a shot takes most of a second: two shots in a row show
# both phases (look at them before committing).
for window in "Text:text" "Outline and background:outline" "Off:off"; do
    shoot "${window%%:*}" "window-flash-${window##*:}-1.png"
    sleep 0.2
    shoot "${window%%:*}" "window-flash-${window##*:}-2.png"
done
kill -TERM "$pid"
wait "$pid" || true
