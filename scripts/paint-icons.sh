#!/usr/bin/env bash
# Draws the program's icons again into res/icons (after a change to tools/icon-painter).
# scripts/paint-icons.sh [PREVIEW_DIR] also writes a PNG preview of each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh ci
build/tools/icon-painter/vesk-icon-painter res/icons "$@"
