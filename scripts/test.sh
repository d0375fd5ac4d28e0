#!/usr/bin/env bash
# Installs what the project needs, checks formatting, then builds and runs every test twice:
# a normal build, and one with the address and undefined-behaviour sanitizers; between them it
# starts the built viewer once without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh

scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_WERROR=ON
ctest --test-dir build --output-on-failure -j2
scripts/smoke.sh build

scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON -DVESK_WERROR=ON \
  -DVESK_BUILD_BENCH=OFF
ctest --test-dir build-asan --output-on-failure -j2
