#!/usr/bin/env bash
# Twenty clock windows under a private Xvfb (five wall clocks, five running countdowns, five
# stopwatches, five time-until), and as a reference twenty `xclock -update 1` windows of the same
# size in the same places. The sets run one after the other in the same X server, so they never
# disturb each other. For each set: time until all twenty windows are mapped (median of STARTS
# starts), CPU of the clients and of the X server over SECONDS, resident memory.
# With COUNT 100, Tavix opens a hundred windows (tiled 10x10 on a 3840x2700 screen, a quarter of
# them running countdowns); xclock stays at twenty.
# Usage: bench/windows/measure.sh [BUILD_DIR] [SECONDS] [SETS] [STARTS] [COUNT]
#   defaults: build, 60, "tavix", 5, 20; SETS is "tavix", "xclock" or "tavix xclock"
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-60}"
sets="${3:-tavix}"
starts="${4:-5}"
count="${5:-20}"

if [ -z "${DISPLAY:-}" ]; then
    screen=1920x1080x24
    [ "$count" -le 20 ] || screen=3840x2700x24
    exec "$root/tests/support/with-xvfb.sh" --screen "$screen" "$0" "$build" "$seconds" "$sets" "$starts" "$count"
fi

data=$(mktemp -d)
pids=()
cleanup() {
    [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true
    rm -rf "$data"
}
trap cleanup EXIT
mkdir -p "$data/Tavix"
"$build/tavix_makestate" "$data/Tavix/tavix.plist" "bench$count"

# The X server's CPU is part of what a set of windows costs: find our private Xvfb, a sibling
# started by with-xvfb.sh (a server not started that way is not measured).
xserver=""
for stat in /proc/[0-9]*/stat; do
    read -r pid comm _ ppid _ <"$stat" 2>/dev/null || continue
    if [ "$comm" = "(Xvfb)" ] && [ "$ppid" = "$PPID" ]; then
        xserver=$pid
    fi
done
ticks=$(getconf CLK_TCK)

start_set() {
    case "$1" in
    tavix)
        XDG_DATA_HOME="$data" "$build/tavix" >/dev/null 2>&1 &
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
    tavix) xdotool search --all --onlyvisible --pid "${pids[0]}" --name . 2>/dev/null | wc -l || true ;;
    xclock) xdotool search --all --onlyvisible --classname '^xclock$' 2>/dev/null | wc -l || true ;;
    esac
}
stop_set() {
    kill -TERM "${pids[@]}" 2>/dev/null || true
    wait "${pids[@]}" 2>/dev/null || true
    pids=()
}
# Sums of a /proc field over processes: cpu_ticks PIDS..., kb FIELD FILE PIDS...
cpu_ticks() { for p in "$@"; do awk '{print $14 + $15}' "/proc/$p/stat"; done | awk '{s += $1} END {print s + 0}'; }
kb() {
    local field="$1" file="$2"
    shift 2
    for p in "$@"; do awk -v f="$field:" '$1 == f {print $2}' "/proc/$p/$file"; done | awk '{s += $1} END {print s + 0}'
}
percent() { awk -v t="$1" -v hz="$ticks" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}'; }

for set in $sets; do
    times=()
    for run in $(seq 1 "$starts"); do
        start_ns=$(date +%s%N)
        start_set "$set"
        want=$count
        [ "$set" = tavix ] || want=20
        while [ "$(mapped_windows "$set")" -lt "$want" ]; do
            if [ $(($(date +%s%N) - start_ns)) -gt 20000000000 ]; then
                echo "$set: only $(mapped_windows "$set") of $want windows mapped after 20 s" >&2
                exit 1
            fi
        done
        times+=($((($(date +%s%N) - start_ns) / 1000000)))
        [ "$run" -eq "$starts" ] || stop_set
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')

    sleep 5 # let start-up settle
    before=$(cpu_ticks "${pids[@]}")
    xbefore=$( [ -n "$xserver" ] && cpu_ticks "$xserver" || echo 0)
    sleep "$seconds"
    after=$(cpu_ticks "${pids[@]}")
    xafter=$( [ -n "$xserver" ] && cpu_ticks "$xserver" || echo 0)
    rss=$(kb VmRSS status "${pids[@]}")
    hwm=$(kb VmHWM status "${pids[@]}")
    pss=$(kb Pss smaps_rollup "${pids[@]}")
    processes=${#pids[@]}
    stop_set

    xcpu="n/a"
    [ -z "$xserver" ] || xcpu="$(percent $((xafter - xbefore)))%"
    echo "$set mapped: ${median} ms (median of ${starts} starts: ${times[*]} ms; from launch, xdotool polling)"
    echo "$set cpu: $(percent $((after - before)))% of one core over ${seconds} s (X server: ${xcpu})"
    echo "$set memory: $((rss / 1024)) MB resident, $((pss / 1024)) MB proportional, peak $((hwm / 1024)) MB (processes: ${processes})"
done
