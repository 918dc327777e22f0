# shellcheck shell=bash disable=SC2154,SC2034  # variables shared with the caller
# Sourced by the measuring scripts with their own arguments, the first of which is BUILD_DIR:
#   source "$(dirname "$0")/../session.sh" SCREEN "$@"
# sets root and build (absolute; build/ of the checkout by default), runs the calling script again
# with its arguments under a private Xvfb of SCREEN (WxHxD) when there is no display, then offers a temporary XDG_DATA_HOME for a state written by tavix_makestate, starting
# and stopping what is measured (pids), and CPU time from /proc.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${2:-$root/build}" && pwd)"
if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen "$1" "$0" "$build" "${@:3}"
fi

data=$(mktemp -d)
pids=()
end_session() {
    [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true
    rm -rf "$data"
}
trap end_session EXIT

# The X server's CPU is part of what a window costs: find our private Xvfb, a sibling started by
# with-xvfb.sh (a server not started that way is not measured and xserver stays empty).
xserver=""
for stat in /proc/[0-9]*/stat; do
    { read -r spid comm _ ppid _ <"$stat"; } 2>/dev/null || continue
    if [ "$comm" = "(Xvfb)" ] && [ "$ppid" = "$PPID" ]; then
        xserver=$spid
    fi
done
ticks=$(getconf CLK_TCK)

# CPU time (user + system) of PIDS... in clock ticks, summed.
cpu_ticks() { for p in "$@"; do awk '{print $14 + $15}' "/proc/$p/stat"; done | awk '{s += $1} END {print s + 0}'; }
xserver_ticks() { if [ -n "$xserver" ]; then cpu_ticks "$xserver"; else echo 0; fi; }
# TICKS over SECONDS as a percentage of one core, with DIGITS decimals (2 unless told).
percent() { awk -v t="$1" -v hz="$ticks" -v s="$seconds" -v d="${2:-2}" 'BEGIN {printf "%." d "f", 100 * t / hz / s}'; }

# The state Tavix starts on next: the arguments of tavix_makestate after the file.
write_state() {
    rm -rf "$data/Tavix"
    mkdir -p "$data/Tavix"
    "$build/tavix_makestate" "$data/Tavix/tavix.plist" "$@"
}

start_tavix() {
    XDG_DATA_HOME="$data" "$build/tavix" >/dev/null 2>&1 &
    pids=($!)
}
tavix_windows() { xdotool search --all --onlyvisible --pid "${pids[0]}" --name . 2>/dev/null | wc -l || true; }

# Waits until COUNT windows show, as the command after it counts them (tavix_windows unless told);
# polls without a pause, since measure.sh times this. Fails after 20 s.
wait_mapped() { # count [counter args...]
    local want="$1" start_ns
    shift
    [ $# -gt 0 ] || set -- tavix_windows
    start_ns=$(date +%s%N)
    while [ "$("$@")" -lt "$want" ]; do
        if [ $(($(date +%s%N) - start_ns)) -gt 20000000000 ]; then
            echo "${0##*/}: only $("$@") of $want windows mapped after 20 s" >&2
            exit 1
        fi
    done
}

# After SETTLE seconds, the CPU ticks of pids (app_ticks) and of the X server (x_ticks, 0 when it
# is not ours) over SECONDS.
measure_cpu() { # settle
    local before xbefore
    sleep "$1"
    before=$(cpu_ticks "${pids[@]}")
    xbefore=$(xserver_ticks)
    sleep "$seconds"
    app_ticks=$(($(cpu_ticks "${pids[@]}") - before))
    x_ticks=$(($(xserver_ticks) - xbefore))
}

stop_set() {
    kill -TERM "${pids[@]}" 2>/dev/null || true
    wait "${pids[@]}" 2>/dev/null || true
    pids=()
}
