#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server, which is stopped afterwards. The command
# also gets a private runtime directory and no session bus, so that a Tavix it starts never finds
# (or hands over to) the Tavix of the desktop session it runs in; a test that needs a bus starts
# its own `dbus-daemon --session`.
# Usage: with-xvfb.sh [--screen WxHxD] command [args...]
set -euo pipefail
screen="1920x1080x24"
if [ "${1:-}" = "--screen" ]; then
    screen="$2"
    shift 2
fi
fdfile=$(mktemp)
runtime=$(mktemp -d)
exec 3>"$fdfile"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset +extension GLX >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
cleanup() {
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rm -f "$fdfile"
    rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
    if [ -s "$fdfile" ]; then
        break
    fi
    sleep 0.05
done
display=$(head -n1 "$fdfile" | tr -d '[:space:]')
if [ -z "$display" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display"
export XDG_RUNTIME_DIR="$runtime"
unset WAYLAND_DISPLAY
# No session bus, but an address that fails at once: without any address libdbus would try to
# start a bus through X11 (Qt asks for the session bus on its own), forking from a threaded process,
# which under AddressSanitizer can hang the child and with it the application.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/no-session-bus"
export QT_QPA_PLATFORM=xcb
"$@"
