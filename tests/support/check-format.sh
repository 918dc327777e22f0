#!/usr/bin/env bash
# Fails when a C or C++ source of the project differs from what .clang-format asks for.
set -euo pipefail
cd "$(dirname "$0")/../.."
find src tests bench fuzz tools -name '*.cpp' -o -name '*.h' -o -name '*.c' | sort |
    xargs clang-format --dry-run --Werror
echo "every source is formatted"
