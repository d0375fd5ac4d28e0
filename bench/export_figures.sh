#!/usr/bin/env bash
# The diary's exports as the command makes them: the demo forum's 120-page thread read with its
# pictures, then each format of all its posts and of the starter's, and the book with the installed
# Chinese font inside it: size and time (min / median of RUNS).
#   bench/export_figures.sh [BUILD_DIR] [RUNS] [FONT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-7}
font=${3:-$(fc-match -f '%{file}' ':lang=zh-cn')}
library=$build/cli/vesk-library
forum_bin=$build/tools/demo-forum/vesk-demo-forum
[ -x "$library" ] && [ -x "$forum_bin" ] || { echo "build first: scripts/build.sh $build" >&2; exit 2; }

. "$root/scripts/demo-forum.sh"
work=$(mktemp -d)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
start_demo_forum "$forum_bin" "$work/forum.log" --latency 0
thread="$forum_base/look,600519,1000005.html"
db=$work/library.sqlite3
"$library" --db "$db" --base "$forum_base" refresh "$thread" >/dev/null 2>&1
now_ns() { date +%s%N; }
stats() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.0f / %.0f ms", a[1]/1e6, a[int((NR+1)/2)]/1e6}'; }

echo "font: $font"
for mode in all starter; do
  for kind in html epub "epub --font $font" md; do
    format=${kind%% *}
    out=$work/diary.$format
    times=()
    for _ in $(seq "$runs"); do
      rm -rf "$out" "$work"/diary_pictures
      start=$(now_ns)
      # shellcheck disable=SC2086
      "$library" --db "$db" --base "$forum_base" export --mode "$mode" --format $kind --out "$out" "$thread"
      times+=($(($(now_ns) - start)))
    done
    size=$(stat -c %s "$out")
    [ ! -d "$work/diary_pictures" ] || size=$((size + $(du -sb "$work/diary_pictures" | cut -f 1)))
    printf '%-8s %-20s %9.2f MB  %s\n' "$mode" "${kind/--font $font/with the font}" \
      "$(awk -v s="$size" 'BEGIN {print s / 1e6}')" "$(stats "${times[@]}")"
  done
done
