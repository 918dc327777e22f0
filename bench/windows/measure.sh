#!/usr/bin/env bash
# Twenty clock windows (five clocks, five running countdowns, five stopwatches, five time-until)
# under a private Xvfb: time until all twenty are mapped, CPU over 60 s, resident memory.
# Usage: bench/windows/measure.sh [BUILD_DIR] [SECONDS]    (defaults: build, 60)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-60}"

if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen 1920x1080x24 "$0" "$build" "$seconds"
fi

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$data/Tavix"
"$build/tavix_makestate" "$data/Tavix/tavix.plist" bench20

ticks=$(getconf CLK_TCK)
start_ns=$(date +%s%N)
XDG_DATA_HOME="$data" "$build/tavix" >/dev/null 2>&1 &
pid=$!
mapped=0
while [ "$mapped" -lt 20 ]; do
    mapped=$(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null | wc -l || true)
    if [ $(( ($(date +%s%N) - start_ns) / 1000000 )) -gt 20000 ]; then
        echo "only $mapped windows mapped after 20 s" >&2
        kill "$pid"
        exit 1
    fi
done
mapped_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))

cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
sleep 5 # let start-up settle
before=$(cpu_ticks)
sleep "$seconds"
after=$(cpu_ticks)
rss_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
hwm_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
kill -TERM "$pid"
wait "$pid" || true

cpu=$(awk -v t="$((after - before))" -v hz="$ticks" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}')
echo "20 windows mapped after:   ${mapped_ms} ms (from process start, xdotool polling)"
echo "CPU over ${seconds} s:            ${cpu}% of one core"
echo "Resident memory:           $((rss_kb / 1024)) MB (peak $((hwm_kb / 1024)) MB)"
