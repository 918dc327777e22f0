#!/usr/bin/env bash
# What a clock on a stage costs: the real build/tavix under a private 1920x1080 Xvfb with one running
# stopwatch, CPU time (user + system from /proc/PID/stat) of Tavix and of the X server over SECONDS,
# once in Stage Mode (full screen) and once floating at 600x200. Prints both and their ratio; the
# X server counts because a larger window is mostly more pixels for it to take.
# Usage: bench/stage/stage_cpu.sh [BUILD_DIR] [SECONDS] [ROUNDS]    (defaults build, 60, 2)
# With TENTHS=1 the stopwatch shows tenths of a second (ten repaints a second).
set -euo pipefail
seconds="${2:-60}"
rounds="${3:-2}"
# shellcheck source=bench/session.sh
source "$(dirname "$0")/../session.sh" 1920x1080x24 "$@"
tenths=()
[ "${TENTHS:-}" != 1 ] || tenths=(--tenths)

measure() { # [--stage] -> app and X server as "tavix% xserver%" in result
    write_state one --mode stopwatch --name Show --time 3000 --running "${tenths[@]}" --origin 100,100 \
        --size 600x200 --message "Act 2" --remote off "$@"
    start_tavix
    wait_mapped 1
    measure_cpu 5
    stop_set
    result="$(percent "$app_ticks" 3) $(percent "$x_ticks" 3)"
}

stage_total=0 float_total=0 xstage_total=0 xfloat_total=0
for round in $(seq 1 "$rounds"); do
    measure --stage
    read -r stage xstage <<<"$result"
    measure
    read -r float xfloat <<<"$result"
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
