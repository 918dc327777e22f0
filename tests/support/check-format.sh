#!/usr/bin/env bash
# Fails when a C or C++ source of the project differs from what .clang-format asks for.
set -euo pipefail
cd "$(dirname "$0")/../.."
# npm's packages for the browser tests live under tests/node_modules and are not ours.
find src tests bench fuzz tools -path '*/node_modules' -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print | sort |
    xargs clang-format --dry-run --Werror
echo "every source is formatted"
