#!/usr/bin/env bash
# What a clock on a stage costs: the real build/tavix under a private 1920x1080 Xvfb with one running
# stopwatch, CPU time (user + system from /proc/PID/stat) of Tavix and of the X server over SECONDS,
# once in Stage Mode (full screen) and once floating at 600x200. Prints both and their ratio; the
# X server counts because a larger window is mostly more pixels for it to take.
# Usage: bench/stage/stage_cpu.sh [BUILD_DIR] [SECONDS] [ROUNDS]    (defaults build, 60, 2)
# With TENTHS=1 the stopwatch shows tenths of a second (ten repaints a second).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-60}"
rounds="${3:-2}"
if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen 1920x1080x24 "$0" "$build" "$seconds" "$rounds"
fi

data=$(mktemp -d)
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT
ticks=$(getconf CLK_TCK)
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Our private Xvfb is a sibling started by with-xvfb.sh.
xserver=""
for stat in /proc/[0-9]*/stat; do
    { read -r spid comm _ ppid _ <"$stat"; } 2>/dev/null || continue
    if [ "$comm" = "(Xvfb)" ] && [ "$ppid" = "$PPID" ]; then
        xserver=$spid
    fi
done

measure() { # stage(true|false) -> "tavix% xserver%"
    mkdir -p "$data/Tavix"
    python3 - "$data/Tavix/tavix.plist" "$1" <<'PY'
import os, plistlib, sys, uuid
green = {"red": 0.2, "green": 0.84, "blue": 0.3, "alpha": 1.0}
black = {"red": 0.0, "green": 0.0, "blue": 0.0, "alpha": 1.0}
clock = {"id": str(uuid.uuid4()).upper(), "name": "Show", "mode": "stopwatch", "foregroundColor": green,
         "backgroundColor": black, "outlineColor": green, "opacity": 1.0, "alwaysOnTop": False,
         "windowOrigin": [100.0, 100.0], "windowSize": [600.0, 200.0],
         "stopwatch": {"elapsed": 3000.0, "isRunning": True, "showTenths": os.environ.get("TENTHS") == "1"},
         "stage": {"isActive": sys.argv[2] == "true", "caption": "message", "message": "Act 2",
                   "clickThrough": False}}
settings = {"defaultForegroundColor": green, "defaultBackgroundColor": black, "defaultOutlineColor": green,
            "defaultOpacity": 1.0, "defaultAlwaysOnTop": False, "defaultCountdownDuration": 1800.0,
            "defaultTimeUntilAtTargetForegroundColor": green, "defaultTimeUntilAtTargetOutlineColor": green,
            "defaultTimeUntilFlashAtTarget": True, "remoteControlEnabled": False}
with open(sys.argv[1], "wb") as f:
    plistlib.dump({"clocks": [clock], "settings": settings}, f)
PY
    XDG_DATA_HOME="$data" "$build/tavix" >/dev/null 2>&1 &
    pid=$!
    sleep 5
    local start end xstart=0 xend=0
    start=$(cpu_of "$pid")
    [ -z "$xserver" ] || xstart=$(cpu_of "$xserver")
    sleep "$seconds"
    end=$(cpu_of "$pid")
    [ -z "$xserver" ] || xend=$(cpu_of "$xserver")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=""
    awk -v d="$((end - start))" -v x="$((xend - xstart))" -v t="$ticks" -v s="$seconds" \
        'BEGIN { printf "%.3f %.3f", 100 * d / t / s, 100 * x / t / s }'
}

stage_total=0 float_total=0 xstage_total=0 xfloat_total=0
for round in $(seq 1 "$rounds"); do
    read -r stage xstage <<<"$(measure true)"
    read -r float xfloat <<<"$(measure false)"
    echo "round $round: stage ${stage}% (X ${xstage}%), floating ${float}% (X ${xfloat}%) of one core" >&2
    stage_total=$(awk -v a="$stage_total" -v b="$stage" 'BEGIN { print a + b }')
    float_total=$(awk -v a="$float_total" -v b="$float" 'BEGIN { print a + b }')
    xstage_total=$(awk -v a="$xstage_total" -v b="$xstage" 'BEGIN { print a + b }')
    xfloat_total=$(awk -v a="$xfloat_total" -v b="$xfloat" 'BEGIN { print a + b }')
done
awk -v s="$stage_total" -v f="$float_total" -v xs="$xstage_total" -v xf="$xfloat_total" -v n="$rounds" \
    -v secs="$seconds" 'BEGIN {
    printf "stage cpu: Stage Mode 1920x1080 %.3f%% (X server %.3f%%), floating 600x200 %.3f%% (X server %.3f%%) of one core; ratio %.2f, with the X server %.2f (mean of %d rounds of %d s, running stopwatch)\n",
        s / n, xs / n, f / n, xf / n, (f > 0 ? s / f : 0), (f + xf > 0 ? (s + xs) / (f + xf) : 0), n, secs }'
