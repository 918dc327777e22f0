#!/usr/bin/env bash
# The real application started in a German session shows German texts: Ctrl+, in the first clock
# window opens the settings window under its German title, while the clock keeps its saved name.
# Standard output must stay empty: diagnostics are English and this start has none to print. (Qt
# itself may warn on standard error when the system has no de_DE.UTF-8 locale installed.)
# Usage (under with-xvfb.sh): german-start.sh path/to/tavix
set -euo pipefail
tavix="$1"
data=$(mktemp -d)
out="$data/stdout"
pid=""
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    rm -rf "$data"
}
trap cleanup EXIT

# Waits up to 20 s for a visible window of the application with exactly this title; prints its id.
window() {
    for _ in $(seq 1 200); do
        for id in $(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null); do
            if [ "$(xdotool getwindowname "$id")" = "$1" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    echo "no window titled \"$1\"; windows:" >&2
    for id in $(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null); do
        xdotool getwindowname "$id" >&2
    done
    return 1
}

env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=de_DE.UTF-8 XDG_DATA_HOME="$data" TAVIX_REMOTE_CONTROL=off \
    "$tavix" >"$out" &
pid=$!
clock=$(window "Clock 1")
xdotool windowfocus --sync "$clock"
xdotool key ctrl+comma
window "Tavix-Einstellungen" >/dev/null
kill -TERM "$pid"
wait "$pid"
pid=""
cat "$out"
if [ -s "$out" ]; then
    echo "a German start printed on standard output" >&2
    exit 1
fi
