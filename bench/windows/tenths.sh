#!/usr/bin/env bash
# One floating stopwatch window (620x220) running under a private Xvfb, with tenths of a second and
# without: CPU of the app and of the X server over SECONDS each, and the repaints per second that
# the tenths cost.
# Usage: bench/windows/tenths.sh [BUILD_DIR] [SECONDS]     (defaults: build, 30)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-30}"

if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen 1920x1080x24 "$0" "$build" "$seconds"
fi

data=$(mktemp -d)
pid=""
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    rm -rf "$data"
}
trap cleanup EXIT

xserver=""
for stat in /proc/[0-9]*/stat; do
    read -r p comm _ ppid _ <"$stat" 2>/dev/null || continue
    if [ "$comm" = "(Xvfb)" ] && [ "$ppid" = "$PPID" ]; then
        xserver=$p
    fi
done
ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
percent() { awk -v t="$1" -v hz="$ticks" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}'; }

for scene in tenths plain; do
    rm -rf "$data/Tavix"
    mkdir -p "$data/Tavix"
    "$build/tavix_makestate" "$data/Tavix/tavix.plist" "stopwatch:$scene"
    XDG_DATA_HOME="$data" "$build/tavix" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 200); do
        [ "$(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null | wc -l)" -ge 1 ] && break
        sleep 0.1
    done
    sleep 3 # let start-up settle
    before=$(cpu_ticks "$pid")
    xbefore=$([ -n "$xserver" ] && cpu_ticks "$xserver" || echo 0)
    sleep "$seconds"
    after=$(cpu_ticks "$pid")
    xafter=$([ -n "$xserver" ] && cpu_ticks "$xserver" || echo 0)
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
    xcpu="n/a"
    [ -z "$xserver" ] || xcpu="$(percent $((xafter - xbefore)))%"
    echo "stopwatch ($scene) cpu: $(percent $((after - before)))% of one core over ${seconds} s (X server: ${xcpu})"
done
