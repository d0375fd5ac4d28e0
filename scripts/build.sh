#!/usr/bin/env bash
# Configures and builds one of CMakePresets.json's configurations in its own folder:
#   scripts/build.sh PRESET [CMAKE_ARGS...]
# ci (build/), asan (build-asan/), nogui (build-nogui/), demo (build-demo/, its programs only).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
shift
cmake --preset "$preset" "$@" >/dev/null
cmake --build --preset "$preset"
