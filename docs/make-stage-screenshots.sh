#!/usr/bin/env bash
# Renders Stage Mode from the real application under a private 1280x720 Xvfb into
# docs/images/stage-mode.png (the whole screen) and docs/images/stage-floating.png (the same clock
# floating, with its caption).
# Usage: docs/make-stage-screenshots.sh [BUILD_DIR]    (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen 1280x720x24 "$0" "$build"
fi

data=$(mktemp -d)
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT
shoot() { # stage(true|false) file
    mkdir -p "$data/Tavix"
    python3 - "$data/Tavix/tavix.plist" "$1" <<'PY'
import plistlib, sys, uuid
green = {"red": 0.2, "green": 0.84, "blue": 0.3, "alpha": 1.0}
yellow = {"red": 1.0, "green": 0.84, "blue": 0.04, "alpha": 1.0}
black = {"red": 0.0, "green": 0.0, "blue": 0.0, "alpha": 1.0}
clock = {"id": str(uuid.uuid4()).upper(), "name": "Keynote", "mode": "countdown", "foregroundColor": green,
         "backgroundColor": black, "outlineColor": green, "opacity": 1.0, "alwaysOnTop": False,
         "windowOrigin": [340.0, 260.0], "windowSize": [600.0, 220.0],
         "countdown": {"duration": 1800.0, "remaining": 754.0, "isRunning": False, "warningTime": 60.0,
                       "warningForegroundColor": yellow, "warningOutlineColor": yellow, "flashWhenDone": True},
         "stage": {"isActive": sys.argv[2] == "true", "caption": "message",
                   "message": "Q&A after the talk", "clickThrough": False}}
settings = {"defaultForegroundColor": green, "defaultBackgroundColor": black, "defaultOutlineColor": green,
            "defaultOpacity": 1.0, "defaultAlwaysOnTop": False, "defaultCountdownDuration": 1800.0,
            "defaultTimeUntilAtTargetForegroundColor": green, "defaultTimeUntilAtTargetOutlineColor": green,
            "defaultTimeUntilFlashAtTarget": True, "remoteControlEnabled": False}
with open(sys.argv[1], "wb") as f:
    plistlib.dump({"clocks": [clock], "settings": settings}, f)
PY
    XDG_DATA_HOME="$data" LANG=en_GB.UTF-8 "$build/tavix" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 200); do
        xdotool search --all --onlyvisible --pid "$pid" --name "^Keynote\$" >/dev/null 2>&1 && break
        sleep 0.05
    done
    sleep 1.5
    if [ "$1" = true ]; then
        "$build/tests/tavix_xgrab" "$root/docs/images/$2"
    else
        local id geometry
        id=$(xdotool search --all --onlyvisible --pid "$pid" --name "^Keynote\$" | head -n1)
        geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
                                              /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
        # shellcheck disable=SC2086
        "$build/tests/tavix_xgrab" "$root/docs/images/$2" $geometry
    fi
    kill -TERM "$pid"
    wait "$pid" || true
    pid=""
    rm -rf "$data/Tavix"
}
shoot true stage-mode.png
shoot false stage-floating.png
