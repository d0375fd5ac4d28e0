#!/usr/bin/env bash
# Builds the Debian package from the install rules and prints its path: in BUILD_DIR when given
# (a build already made, as CI's), else in build-package/ from a release build of its own.
#   scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
if [ $# -eq 0 ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=OFF \
    -DVESK_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build"
fi
rm -f "$build"/vesk_*_amd64.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vesk_*_amd64.deb
