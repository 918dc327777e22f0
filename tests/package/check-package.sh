#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it the way a distribution would:
# contents and control fields, lintian without errors, and - as root in CI, or wherever
# TAVIX_PACKAGE_TESTS is set - a real install with apt, a start of the installed binary on the
# display this runs under, and a clean removal.
# Usage: check-package.sh <build dir> <version>
set -euo pipefail
build="$1"
version="$2"
work=$(mktemp -d)
state=$(mktemp -d)
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tavix >/dev/null 2>&1 || true
    fi
    rm -rf "$work" "$state"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The command line answers without a display; an option nobody knows is an error, not ignored.
version_line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$build/tavix" --version) || fail "tavix --version failed"
[ "$version_line" = "Tavix $version" ] || fail "tavix --version printed: $version_line"
env -u DISPLAY -u WAYLAND_DISPLAY "$build/tavix" --help | grep -q -- '--version' || fail "tavix --help lists no --version"
if XDG_DATA_HOME="$state" TAVIX_REMOTE_CONTROL=off "$build/tavix" --no-such-option >/dev/null 2>&1; then
    fail "tavix --no-such-option started"
fi

# Its own output folder, so a run never stands in the way of scripts/package.sh in build/.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >cpack.log 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
deb="$work/tavix_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work")"

info=$(dpkg-deb -I "$deb")
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tavix ] || fail "package name: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version: $(field Version)"
[ "$(field Section)" = utils ] || fail "section: $(field Section)"
field Maintainer | grep -Eq '^[^<]+ <[^@>]+@[^>]+>$' || fail "maintainer: $(field Maintainer)"
# Computed from the binary: the Qt libraries it links, with versions, not a hand-kept list.
for library in libqt6widgets6 libqt6core6 libplist libltc libpulse0 liblo7; do
    field Depends | grep -q "$library" || fail "Depends lacks $library: $(field Depends)"
done
summary=$(sed -n 's:.*<summary>\(.*\)</summary>.*:\1:p' "$(dirname "$0")/../../data/org.tavix.Tavix.metainfo.xml")
echo "$info" | grep -q "^ Description: $summary\$" || fail "summary is not the metainfo's: $info"

contents=$(dpkg-deb -c "$deb" | awk '{print $1, $NF}')
for file in ./usr/bin/tavix ./usr/share/applications/org.tavix.Tavix.desktop \
            ./usr/share/metainfo/org.tavix.Tavix.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/org.tavix.Tavix.svg \
            ./usr/share/doc/tavix/copyright ./usr/share/doc/tavix/changelog.gz \
            ./usr/share/man/man1/tavix.1.gz "./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/tavix/tavix-pulse.so"; do
    echo "$contents" | grep -q " $file\$" || fail "$file is not in the package"
done
echo "$contents" | grep -q '^-rwxr-xr-x \./usr/bin/tavix$' || fail "usr/bin/tavix is not executable by all"
if echo "$contents" | awk '{print $2}' | grep -Ev '^\./(usr/|usr/bin/.*|usr/share/.*|usr/lib/|usr/lib/[^/]+/|usr/lib/[^/]+/tavix/.*)?$'; then
    fail "files outside /usr/bin, /usr/lib/<multiarch>/tavix and /usr/share"
fi

lintian --fail-on error --no-tag-display-limit "$deb" >"$work/lintian.txt" 2>&1 ||
    { cat "$work/lintian.txt" >&2; fail "lintian reports errors"; }
echo "lintian: $(grep -c '^W:' "$work/lintian.txt" || true) warnings, no errors"

if [ "$(id -u)" -ne 0 ] || [ -z "${CI:-}${TAVIX_PACKAGE_TESTS:-}" ]; then
    echo "package built and checked; install check left out (needs root and CI or TAVIX_PACKAGE_TESTS)"
    exit 0
fi
if dpkg-query -W -f='${Status}' tavix 2>/dev/null | grep -q 'install ok installed'; then
    echo "a tavix package is installed already: the install check leaves it alone"
    exit 0
fi

installed=yes
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get could not install the package"; }
[ "$(/usr/bin/tavix --version)" = "Tavix $version" ] || fail "installed tavix --version: $(/usr/bin/tavix --version)"

# A timecode clock, so that the installed binary loads its audio module (no sound server here: it
# then reports the failed listing, which is fine).
mkdir -p "$state/Tavix"
"$build/tavix_makestate" "$state/Tavix/tavix.plist" one --mode timecode >/dev/null
XDG_DATA_HOME="$state" TAVIX_REMOTE_CONTROL=off LANG=C.UTF-8 /usr/bin/tavix >"$work/run.log" 2>&1 &
pid=$!
shown=""
for _ in $(seq 1 200); do
    if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then
        shown=yes
        break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" || fail "the installed tavix did not end cleanly: $(cat "$work/run.log")"
[ -n "$shown" ] || fail "the installed tavix showed no window: $(cat "$work/run.log")"
[ -s "$state/Tavix/tavix.plist" ] || fail "the installed tavix saved no state"
if grep -q "audio module could not be loaded" "$work/run.log"; then
    fail "the installed tavix found no audio module: $(cat "$work/run.log")"
fi

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tavix >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get could not remove the package"; }
installed=""
[ ! -e /usr/bin/tavix ] || fail "/usr/bin/tavix is still there after removal"
[ ! -e /usr/share/applications/org.tavix.Tavix.desktop ] || fail "the menu entry is still there after removal"
echo "package built, checked, installed, started, removed"
