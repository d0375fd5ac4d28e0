#!/usr/bin/env bash
# Installs what the project needs, checks formatting, then builds and runs every test in the
# three configurations of CMakePresets.json: the Qt-free layers alone, an optimised build (after
# which the built viewer is started once without a display), and one with the address and
# undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh

for preset in nogui ci asan; do
  scripts/build.sh "$preset"
  ctest --preset "$preset"
  [ "$preset" != ci ] || scripts/smoke.sh build
done
