#!/usr/bin/env bash
# Builds the Debian package build/tavix_<version>_<arch>.deb from the build in build/ (configured
# here when it is not yet). Install it with: sudo apt-get install ./build/tavix_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build --target tavix tavix_package_docs
cd build
cpack -G DEB -B "$PWD" >/dev/null
rm -rf _CPack_Packages
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' CMakeCache.txt)
deb="tavix_${version}_$(dpkg --print-architecture).deb"
test -f "$deb"
echo "build/$deb"
