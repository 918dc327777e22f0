#!/usr/bin/env bash
# Renders the editors' screenshots for docs/ under a private Xvfb display.
# Usage: tools/screenshots/make-screenshots.sh [build folder] [output folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../../build"}
out=${2:-"$here/../../docs/images"}
exec "$here/../../tests/support/with-xvfb.sh" "$build/tools/tavix_editor_screenshots" "$out"
