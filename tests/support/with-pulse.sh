#!/usr/bin/env bash
# Runs a command against a private PulseAudio daemon with a null sink named "ltcout" at 48 kHz.
# The daemon lives in its own runtime folder, so no system or session daemon is needed or touched.
# Usage: with-pulse.sh command [args...]
set -euo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
export PULSE_RUNTIME_PATH="$runtime/pulse"
export PULSE_STATE_PATH="$runtime/state"
export PULSE_SERVER="unix:$runtime/pulse/native"
export HOME="${HOME:-$runtime}"
unset DBUS_SESSION_BUS_ADDRESS
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disable-shm=yes \
    --use-pid-file=no --log-target=file:"$runtime/pulse.log" \
    -L module-native-protocol-unix \
    -L "module-null-sink sink_name=ltcout rate=48000 channels=2" \
    -L "module-null-sink sink_name=ltcout44 rate=44100 channels=1" \
    >/dev/null 2>&1 &
pulse_pid=$!
cleanup() {
    kill "$pulse_pid" 2>/dev/null || true
    wait "$pulse_pid" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 1 200); do
    if pactl info >/dev/null 2>&1; then
        break
    fi
    sleep 0.05
done
if ! pactl info >/dev/null 2>&1; then
    echo "with-pulse: PulseAudio did not start" >&2
    cat "$runtime/pulse.log" >&2 || true
    exit 1
fi
export TAVIX_TEST_PULSE_PID="$pulse_pid"
"$@"
