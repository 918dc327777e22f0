#!/usr/bin/env bash
# Installs every Debian 12 package Tavix needs to build, run and test.
# Idempotent: only missing packages are installed, and the package index is refreshed once.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang clang-format clang-tidy libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins
    qt6-httpserver-dev qt6-websockets-dev liblo-dev liblo-tools curl chromium nodejs
    libltc-dev libplist-dev libpulse-dev libicu-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth pulseaudio pulseaudio-utils xdotool x11-utils x11-apps libxcb1-dev openbox lintian
    fonts-dejavu-core desktop-file-utils appstream python3 stress-ng tzdata
    dbus-daemon dbus-bin libglib2.0-bin libxml2-utils openbox x11-xserver-utils
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests drive chromium with puppeteer-core, pinned in tests/package-lock.json.
# Some nodejs builds bring npm with them; Debian's comes as its own package.
if ! command -v npm >/dev/null 2>&1; then
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends npm
fi
cd "$(dirname "$0")/../tests"
if [ ! -d node_modules/puppeteer-core ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    npm ci --no-audit --no-fund --loglevel=error
fi
