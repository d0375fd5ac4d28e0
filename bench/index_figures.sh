#!/usr/bin/env bash
# What the search index costs: the first reading of the demo forum's 120-page thread into a new
# library with the index and into one whose index was dropped before, runs side by side, at 0 and
# at 50 ms per page (min / median, and their ratio); then the library file's size with the index
# and without it, each after a vacuum.
#   bench/index_figures.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-9}
library=$build/cli/vesk-library
forum_bin=$build/tools/demo-forum/vesk-demo-forum
[ -x "$library" ] && [ -x "$forum_bin" ] || { echo "build first: scripts/build.sh $build" >&2; exit 2; }

. "$root/scripts/demo-forum.sh"
work=$(mktemp -d)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
now_ns() { date +%s%N; }
stats() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.0f / %.0f", a[1]/1e6, a[int((NR+1)/2)]/1e6}'; }
median_ms() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]/1e6}'; }

for latency in 0 50; do
  start_demo_forum "$forum_bin" "$work/forum.log" --latency "$latency"
  thread="$forum_base/look,600519,1000005.html"
  with=() without=()
  for _ in $(seq "$runs"); do
    for kind in with without; do
      db=$work/$kind.sqlite3
      rm -f "$db"*
      if [ $kind = without ]; then "$library" --db "$db" index --drop; fi
      start=$(now_ns)
      "$library" --db "$db" --base "$forum_base" refresh --no-images "$thread" >/dev/null 2>&1
      elapsed=$(($(now_ns) - start))
      if [ $kind = with ]; then with+=("$elapsed"); else without+=("$elapsed"); fi
    done
  done
  kill "$forum_pid"; wait "$forum_pid" 2>/dev/null || true
  echo "first reading at $latency ms per page (min / median, ms): with the index $(stats "${with[@]}")," \
    "without $(stats "${without[@]}"): $(awk -v a="$(median_ms "${with[@]}")" -v b="$(median_ms "${without[@]}")" 'BEGIN {printf "%.2f", a / b}')x"
done

for kind in with without; do "$library" --db "$work/$kind.sqlite3" vacuum; done
with_size=$(stat -c %s "$work/with.sqlite3")
without_size=$(stat -c %s "$work/without.sqlite3")
awk -v a="$with_size" -v b="$without_size" 'BEGIN {
  printf "library after vacuum: %.2f MB with the index, %.2f MB without: %.2fx\n", a / 1e6, b / 1e6, a / b }'
