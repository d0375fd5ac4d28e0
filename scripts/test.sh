#!/usr/bin/env bash
# Installs what the project needs, checks formatting, then builds and runs every test in the
# three configurations of CMakePresets.json: the Qt-free layers alone, an optimised build (after
# which the built viewer is started once without a display, and its Debian package is made,
# checked by lintian, installed, tried and removed), and one with the address and
# undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh

for preset in nogui ci asan; do
  scripts/build.sh "$preset"
  ctest --preset "$preset"
  [ "$preset" = ci ] || continue
  scripts/smoke.sh build
  package=$(scripts/package.sh build)
  lintian --fail-on error,warning "$package"
  scripts/package-check.sh "$package" build
done
