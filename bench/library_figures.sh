#!/usr/bin/env bash
# vesk-library's first reading of the demo forum's 120-page thread beside vesk-fetch reading 40
# pages of it, both as the user runs them: median times, the time per page of each, their ratio.
#   bench/library_figures.sh [BUILD_DIR] [RUNS]
# The figures measured inside one process are build/bench/library_bench's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-15}
library=$build/cli/vesk-library
fetch=$build/cli/vesk-fetch
forum_bin=$build/tools/demo-forum/vesk-demo-forum
[ -x "$library" ] && [ -x "$fetch" ] && [ -x "$forum_bin" ] || {
  echo "build first: scripts/build.sh $build" >&2; exit 2; }

. "$root/scripts/demo-forum.sh"
work=$(mktemp -d)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
start_demo_forum "$forum_bin" "$work/forum.log" --latency 0
thread="$forum_base/look,600519,1000005.html"

now_ns() { date +%s%N; }
library_times=()
fetch_times=()
cd "$work"
for _ in $(seq "$runs"); do
  rm -f "$work"/library.sqlite3*
  start=$(now_ns)
  "$library" --db "$work/library.sqlite3" --base "$forum_base" refresh "$thread" 2>/dev/null
  library_times+=($(($(now_ns) - start)))
  start=$(now_ns)
  "$fetch" --base "$forum_base" --out "$work/post.htm" "$thread" 2>/dev/null
  fetch_times+=($(($(now_ns) - start)))
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
library_ms=$(median "${library_times[@]}" | awk '{printf "%.2f", $1/1e6}')
fetch_ms=$(median "${fetch_times[@]}" | awk '{printf "%.2f", $1/1e6}')
echo "runs: $runs, $thread"
echo "vesk-library refresh, 120 pages into a new library: $library_ms ms"
echo "vesk-fetch, 40 pages:                               $fetch_ms ms"
awk -v l="$library_ms" -v f="$fetch_ms" 'BEGIN {
  printf "per page: %.3f ms against %.3f ms, ratio %.2f\n", l / 120, f / 40, (l / 120) / (f / 40) }'
