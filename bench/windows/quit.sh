#!/usr/bin/env bash
# Quit with many clocks, as the user sees it: the real build/tavix opens N small clocks (default
# 1000) under a private Xvfb; once every window is shown and a few seconds have run, it gets
# SIGTERM (the same path as Quit: the event loop ends, the final save runs) and the time until the
# process has ended is printed, ROUNDS times. The final save must have written the state file
# (a quarter of the clocks are running countdowns, so there is always something to save).
# Usage: bench/windows/quit.sh [BUILD_DIR] [N] [ROUNDS]    (defaults build, 1000, 3)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
count="${2:-1000}"
rounds="${3:-3}"
if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen 1920x1080x24 "$0" "$build" "$count" "$rounds"
fi

data=$(mktemp -d)
pid=""
trap '[ -z "$pid" ] || kill -9 "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT
mkdir -p "$data/Tavix"
state="$data/Tavix/tavix.plist"
"$build/tavix_makestate" "$state" "many:$count"

times=()
for _ in $(seq 1 "$rounds"); do
    XDG_DATA_HOME="$data" TAVIX_REMOTE_CONTROL=off "$build/tavix" >/dev/null 2>&1 &
    pid=$!
    deadline=$(($(date +%s) + 120))
    while [ "$(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null | wc -l)" -lt "$count" ]; do
        if [ "$(date +%s)" -gt "$deadline" ]; then
            echo "quit: the windows were not all shown within 120 s" >&2
            exit 1
        fi
        sleep 0.5
    done
    sleep 3
    before=$(stat -c %.9Y "$state")
    start_ns=$(date +%s%N)
    kill -TERM "$pid"
    while kill -0 "$pid" 2>/dev/null && [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" != Z ]; do
        sleep 0.005
    done
    end_ns=$(date +%s%N)
    wait "$pid" 2>/dev/null || true
    pid=""
    if [ "$(stat -c %.9Y "$state")" = "$before" ]; then
        echo "quit: the final save did not write the state file" >&2
        exit 1
    fi
    times+=($(((end_ns - start_ns) / 1000000)))
done
echo "quit of $count clocks: ${times[*]} ms (from SIGTERM until the process ended; final save included)"
