#!/usr/bin/env bash
# Installs the build into a scratch root and checks that every file lands where desktops look
# for it, and that the installed entry and metainfo still validate.
# Usage: check-install.sh <build dir>
set -euo pipefail
build="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
for file in usr/bin/tavix \
            usr/share/applications/org.tavix.Tavix.desktop \
            usr/share/icons/hicolor/scalable/apps/org.tavix.Tavix.svg \
            usr/share/metainfo/org.tavix.Tavix.metainfo.xml; do
    if [ ! -e "$root/$file" ]; then
        echo "missing after install: /$file" >&2
        exit 1
    fi
done
test -x "$root/usr/bin/tavix"
desktop-file-validate "$root/usr/share/applications/org.tavix.Tavix.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.tavix.Tavix.metainfo.xml" >/dev/null
echo "installed and validated 4 files"
