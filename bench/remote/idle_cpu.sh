#!/usr/bin/env bash
# The idle cost of the remote control: the real build/tavix under a private Xvfb with one paused
# countdown, its CPU time (user + system from /proc/PID/stat) over SECONDS, once with the remote
# control on (no client connected) and once with it off. Prints both and their difference.
# Usage: bench/remote/idle_cpu.sh [BUILD_DIR] [SECONDS] [ROUNDS]    (defaults build, 60, 2)
set -euo pipefail
seconds="${2:-60}"
rounds="${3:-2}"
# shellcheck source=bench/session.sh
source "$(dirname "$0")/../session.sh" 1920x1080x24 "$@"

measure() { # on|off -> percent of one core in result
    write_state one --mode countdown --name Show --time 600 --origin 100,100 --size 600x200 --remote "$1"
    start_tavix
    wait_mapped 1
    measure_cpu 5
    stop_set
    result=$(percent "$app_ticks" 3)
}

on_total=0
off_total=0
for round in $(seq 1 "$rounds"); do
    measure on
    on=$result
    measure off
    off=$result
    echo "round $round: remote on ${on}%, off ${off}% of one core over ${seconds} s" >&2
    on_total=$(awk -v a="$on_total" -v b="$on" 'BEGIN { print a + b }')
    off_total=$(awk -v a="$off_total" -v b="$off" 'BEGIN { print a + b }')
done
awk -v on="$on_total" -v off="$off_total" -v n="$rounds" -v s="$seconds" 'BEGIN {
    printf "idle cpu: remote on %.3f%%, off %.3f%%, difference %.3f%% of one core (mean of %d rounds of %d s)\n",
        on / n, off / n, (on - off) / n, n, s }'
