#!/usr/bin/env bash
# Remote control figures: OSC command to store change and store change to a WebSocket client at
# 100 messages per second (tavix_remote_bench), the event rate while a countdown runs, and the idle
# cost of the servers (idle_cpu.sh). Usage: bench/remote/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-60}"
cmake --build "$build" --target tavix tavix_remote_bench >&2
echo "Machine: $(nproc) cores, load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/tavix_remote_bench" 1000 100
"$root/bench/remote/idle_cpu.sh" "$build" "$seconds" 2
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
