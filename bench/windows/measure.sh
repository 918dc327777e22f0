#!/usr/bin/env bash
# Twenty clock windows under a private Xvfb (five wall clocks, five running countdowns, five
# stopwatches, five time-until), and as a reference twenty `xclock -update 1` windows of the same
# size in the same places. The sets run one after the other in the same X server, so they never
# disturb each other. For each set: time until all twenty windows are mapped (median of STARTS
# starts), CPU of the clients and of the X server over SECONDS, resident memory.
# With COUNT 100, Tavix opens a hundred windows (tiled 10x10 on a 3840x2700 screen, a quarter of
# them running countdowns); xclock stays at twenty.
# The "plainqt" set is a plain Qt Widgets program with COUNT windows of one label each
# (tavix_plainqt): the floor that any Qt program pays per window on the same server.
# Usage: bench/windows/measure.sh [BUILD_DIR] [SECONDS] [SETS] [STARTS] [COUNT]
#   defaults: build, 60, "tavix", 5, 20; SETS is any of "tavix", "xclock" and "plainqt", in order
set -euo pipefail
seconds="${2:-60}"
sets="${3:-tavix}"
starts="${4:-5}"
count="${5:-20}"

screen=1920x1080x24
[ "$count" -le 20 ] || screen=3840x2700x24
# shellcheck source=bench/session.sh
source "$(dirname "$0")/../session.sh" "$screen" "$@"
write_state "bench$count"

start_set() {
    case "$1" in
    tavix) start_tavix ;;
    plainqt)
        "$build/tavix_plainqt" "$count" >/dev/null 2>&1 &
        pids=($!)
        ;;
    xclock)
        pids=()
        for i in $(seq 0 19); do
            xclock -update 1 -geometry "380x260+$((i % 5 * 384))+$((i / 5 * 270))" >/dev/null 2>&1 &
            pids+=($!)
        done
        ;;
    esac
}
mapped_windows() {
    case "$1" in
    tavix) tavix_windows ;;
    plainqt) xdotool search --all --onlyvisible --pid "${pids[0]}" --name . 2>/dev/null | wc -l || true ;;
    xclock) xdotool search --all --onlyvisible --classname '^xclock$' 2>/dev/null | wc -l || true ;;
    esac
}
# Sum of a /proc field over processes: kb FIELD FILE PIDS...
kb() {
    local field="$1" file="$2"
    shift 2
    for p in "$@"; do awk -v f="$field:" '$1 == f {print $2}' "/proc/$p/$file"; done | awk '{s += $1} END {print s + 0}'
}

for set in $sets; do
    times=()
    want=$count
    [ "$set" != xclock ] || want=20
    for run in $(seq 1 "$starts"); do
        start_ns=$(date +%s%N)
        start_set "$set"
        wait_mapped "$want" mapped_windows "$set"
        times+=($((($(date +%s%N) - start_ns) / 1000000)))
        [ "$run" -eq "$starts" ] || stop_set
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')

    measure_cpu 5 # let start-up settle first
    rss=$(kb VmRSS status "${pids[@]}")
    hwm=$(kb VmHWM status "${pids[@]}")
    pss=$(kb Pss smaps_rollup "${pids[@]}")
    processes=${#pids[@]}
    stop_set

    xcpu="n/a"
    [ -z "$xserver" ] || xcpu="$(percent "$x_ticks")%"
    echo "$set mapped: ${median} ms (median of ${starts} starts: ${times[*]} ms; from launch, xdotool polling)"
    echo "$set cpu: $(percent "$app_ticks")% of one core over ${seconds} s (X server: ${xcpu})"
    echo "$set memory: $((rss / 1024)) MB resident, $((pss / 1024)) MB proportional, peak $((hwm / 1024)) MB (processes: ${processes})"
done
