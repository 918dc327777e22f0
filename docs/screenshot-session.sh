# shellcheck shell=bash
# Sourced by the make-*-screenshots.sh scripts with their own arguments ([BUILD_DIR]): finds the
# build, runs the calling script again under a private Xvfb (1920x1080 unless the script set
# screen=WxHxD before) when there is no display, and offers start_tavix, shoot and stop_tavix on a
# temporary XDG_DATA_HOME.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    exec "$root/tests/support/with-xvfb.sh" --screen "${screen:-1920x1080x24}" "$0" "$build"
fi

data=$(mktemp -d)
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT

# Starts the application on a state written by tavix_makestate (its scene and any options after the
# window count) and waits until it shows its windows and they have settled.
start_tavix() { # scene window-count [makestate options...]
    rm -rf "$data/Tavix"
    mkdir -p "$data/Tavix"
    "$build/tavix_makestate" "$data/Tavix/tavix.plist" "$1" "${@:3}"
    XDG_DATA_HOME="$data" LANG=en_GB.UTF-8 TZ=Europe/London "$build/tavix" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 200); do
        [ "$(xdotool search --all --onlyvisible --pid "$pid" --name . 2>/dev/null | wc -l)" -ge "$2" ] && break
        sleep 0.05
    done
    sleep 1.5
}

shoot() { # title file
    local id geometry
    id=$(xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" | head -n1)
    geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
                                          /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
    # shellcheck disable=SC2086
    "$build/tests/tavix_xgrab" "$root/docs/images/$2" $geometry
}

stop_tavix() {
    kill -TERM "$pid"
    wait "$pid" || true
    pid=""
}
