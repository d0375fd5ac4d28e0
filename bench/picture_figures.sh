#!/usr/bin/env bash
# The first reading of the demo forum's 120-page thread with its pictures and without, as the
# user runs vesk-library: median times, the bytes that came over the network, and the library's
# size per 1,000 posts once compacted.
#   bench/picture_figures.sh [BUILD_DIR] [RUNS]
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
start_demo_forum "$forum_bin" "$work/forum.log" --latency 0
thread="$forum_base/look,600519,1000005.html"
db=$work/library.sqlite3

now_ns() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
read_once() {  # read_once [--no-images]: a first reading into a new library, in nanoseconds
  rm -f "$db"*
  local start
  start=$(now_ns)
  "$library" --db "$db" --base "$forum_base" refresh "$@" "$thread" >/dev/null 2>&1
  echo $(($(now_ns) - start))
}

pages_bytes=0
for n in $(seq 121); do
  pages_bytes=$((pages_bytes + $(curl -s -o /dev/null -w '%{size_download}' \
    "$forum_base/look,600519,1000005_$n.html")))
done
for mode in with without; do
  times=()
  flag=()
  [ "$mode" = without ] && flag=(--no-images)
  for _ in $(seq "$runs"); do
    times+=("$(read_once "${flag[@]}")")
  done
  "$library" --db "$db" vacuum
  listed=$("$library" --db "$db" list)
  posts=$(cut -f4 <<<"$listed")
  pictures=$(cut -f9 <<<"$listed")
  size=$(stat -c %s "$db")
  printf '%-8s pictures: %7.1f ms, %s bytes over the network (pages %s, pictures %s), ' \
    "$mode" "$(median "${times[@]}" | awk '{print $1/1e6}')" $((pages_bytes + pictures)) \
    "$pages_bytes" "$pictures"
  printf 'library %s bytes, %.0f KB per 1,000 posts\n' "$size" \
    "$(awk -v s="$size" -v p="$posts" 'BEGIN {print s / p}')"
done
