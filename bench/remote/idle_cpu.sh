#!/usr/bin/env bash
# The idle cost of the remote control: the real build/tavix under a private Xvfb with one paused
# countdown, its CPU time (user + system from /proc/PID/stat) over SECONDS, once with the remote
# control on (no client connected) and once with it off. Prints both and their difference.
# Usage: bench/remote/idle_cpu.sh [BUILD_DIR] [SECONDS] [ROUNDS]    (defaults build, 60, 2)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-60}"
rounds="${3:-2}"
if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" "$0" "$build" "$seconds" "$rounds"
fi

data=$(mktemp -d)
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT
ticks=$(getconf CLK_TCK)
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() { # enabled(true|false) -> percent of one core
    mkdir -p "$data/Tavix"
    python3 - "$data/Tavix/tavix.plist" "$1" <<'PY'
import plistlib, sys, uuid
green = {"red": 0.2, "green": 0.84, "blue": 0.3, "alpha": 1.0}
black = {"red": 0.0, "green": 0.0, "blue": 0.0, "alpha": 1.0}
clock = {"id": str(uuid.uuid4()).upper(), "name": "Show", "mode": "countdown", "foregroundColor": green,
         "backgroundColor": black, "outlineColor": green, "opacity": 1.0, "alwaysOnTop": False,
         "windowOrigin": [100.0, 100.0], "windowSize": [600.0, 200.0],
         "countdown": {"duration": 600.0, "remaining": 600.0, "isRunning": False, "warningTime": 60.0,
                       "warningForegroundColor": green, "warningOutlineColor": green, "flashWhenDone": True}}
settings = {"defaultForegroundColor": green, "defaultBackgroundColor": black, "defaultOutlineColor": green,
            "defaultOpacity": 1.0, "defaultAlwaysOnTop": False, "defaultCountdownDuration": 1800.0,
            "defaultTimeUntilAtTargetForegroundColor": green, "defaultTimeUntilAtTargetOutlineColor": green,
            "defaultTimeUntilFlashAtTarget": True, "remoteControlEnabled": sys.argv[2] == "true"}
with open(sys.argv[1], "wb") as f:
    plistlib.dump({"clocks": [clock], "settings": settings}, f)
PY
    XDG_DATA_HOME="$data" "$build/tavix" >/dev/null 2>&1 &
    pid=$!
    sleep 5
    local start end
    start=$(cpu_of "$pid")
    sleep "$seconds"
    end=$(cpu_of "$pid")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=""
    awk -v d="$((end - start))" -v t="$ticks" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * d / t / s }'
}

on_total=0
off_total=0
for round in $(seq 1 "$rounds"); do
    on=$(measure true)
    off=$(measure false)
    echo "round $round: remote on ${on}%, off ${off}% of one core over ${seconds} s" >&2
    on_total=$(awk -v a="$on_total" -v b="$on" 'BEGIN { print a + b }')
    off_total=$(awk -v a="$off_total" -v b="$off" 'BEGIN { print a + b }')
done
awk -v on="$on_total" -v off="$off_total" -v n="$rounds" -v s="$seconds" 'BEGIN {
    printf "idle cpu: remote on %.3f%%, off %.3f%%, difference %.3f%% of one core (mean of %d rounds of %d s)\n",
        on / n, off / n, (on - off) / n, n, s }'
