#!/usr/bin/env bash
# Fails when clang-tidy, with the checked-in .clang-tidy, finds anything in the product sources.
# Usage: check-tidy.sh BUILD_DIR (which holds compile_commands.json)
set -euo pipefail
build="$1"
cd "$(dirname "$0")/../.."
tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)
# Only our own translation units; generated moc/rcc files are Qt's.
mapfile -t files < <(find "$PWD/src" -name '*.cpp' | sort)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$tidy" -quiet -p "$build" -j "$(nproc)" "${files[@]}" >"$log" 2>&1 || true
if grep -E "(warning|error): " "$log" | grep -v "warnings generated" | sort -u | grep .; then
    echo "clang-tidy found the problems above"
    exit 1
fi
echo "clang-tidy: ${#files[@]} sources clean"
