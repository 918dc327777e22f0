#!/usr/bin/env bash
# Installs what is missing, builds Tavix into build/tavix and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec ./build/tavix "$@"
