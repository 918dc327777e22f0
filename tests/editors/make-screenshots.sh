#!/usr/bin/env bash
# Renders the editors' screenshots for docs/ under a private Xvfb display.
# Usage: tests/editors/make-screenshots.sh [build folder] [output folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../../build"}
out=${2:-"$here/../../docs/images"}
exec "$here/../support/with-xvfb.sh" "$build/tests/tavix_editor_screenshots" "$out"
