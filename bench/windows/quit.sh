#!/usr/bin/env bash
# Quit with many clocks, as the user sees it: the real build/tavix opens N small clocks (default
# 1000) under a private Xvfb; once every window is shown and a few seconds have run, it gets
# SIGTERM (the same path as Quit: the event loop ends, the final save runs) and the time until the
# process has ended is printed, ROUNDS times. The final save must have written the state file
# (a quarter of the clocks are running countdowns, so there is always something to save).
# Usage: bench/windows/quit.sh [BUILD_DIR] [N] [ROUNDS]    (defaults build, 1000, 3)
set -euo pipefail
count="${2:-1000}"
rounds="${3:-3}"
# shellcheck source=bench/session.sh
source "$(dirname "$0")/../session.sh" 1920x1080x24 "$@"
write_state "many:$count" --remote off
state="$data/Tavix/tavix.plist"

times=()
for _ in $(seq 1 "$rounds"); do
    start_tavix
    wait_mapped "$count"
    sleep 3
    before=$(stat -c %.9Y "$state")
    start_ns=$(date +%s%N)
    kill -TERM "${pids[0]}"
    while kill -0 "${pids[0]}" 2>/dev/null && [ "$(awk '{print $3}' "/proc/${pids[0]}/stat" 2>/dev/null)" != Z ]; do
        sleep 0.005
    done
    end_ns=$(date +%s%N)
    stop_set
    if [ "$(stat -c %.9Y "$state")" = "$before" ]; then
        echo "quit: the final save did not write the state file" >&2
        exit 1
    fi
    times+=($(((end_ns - start_ns) / 1000000)))
done
echo "quit of $count clocks: ${times[*]} ms (from SIGTERM until the process ended; final save included)"
