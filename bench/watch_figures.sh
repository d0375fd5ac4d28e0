#!/usr/bin/env bash
# The watched threads' cost in a viewer left alone: two viewers side by side, minimised, for
# SECONDS (default 600, one period of the background refresh), one with 20 watched threads, the
# other with the same 20 threads kept but none watched. (A window shown with the focus costs
# about 2% of a core on this display whatever it holds: its caret blinks, and every blink
# composes the web view again in software.) Prints each one's average CPU (main process, and with
# the web engine's processes) and resident memory at the end, and how many watched threads were
# refreshed meanwhile.
#   bench/watch_figures.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-600}
viewer=$build/app/vesk
library=$build/cli/vesk-library
forum_bin=$build/tools/demo-forum/vesk-demo-forum
for bin in "$viewer" "$library" "$forum_bin"; do
  [ -x "$bin" ] || { echo "build first: scripts/build.sh $build ($bin is missing)" >&2; exit 2; }
done
. "$root/bench/figures-display.sh"
trap 'kill $wm ${forum_pid:-} ${watched_pid:-} ${kept_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
DEMO_FORUM_PORT=${base##*:} start_demo_forum "$forum_bin" "$work/forum.log" --copies 15 ||
  { echo "is another program using port ${base##*:}?" >&2; exit 1; }

# Two libraries of the same 20 threads; in one they are watched.
threads=$(sed -n '2,$s/\t.*//p' "$work/forum.log")
for kind in watched kept; do
  for url in $threads; do
    XDG_DATA_HOME=$work/$kind "$library" refresh "$url" >/dev/null 2>&1
    [ "$kind" = watched ] && XDG_DATA_HOME=$work/$kind "$library" watch "$url"
  done
done
echo "$(echo "$threads" | wc -w) threads kept in each library"

tree_ticks() {  # utime + stime of a process and its descendants, in clock ticks
  local pids
  pids=$(pstree -pT "$1" | grep -o '([0-9]*)' | tr -d '()')
  for p in $pids; do awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null || true; done |
    awk '{ s += $1 } END { print s + 0 }'
}
main_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kb() { sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status"; }

mkdir -p "$work/watched-app" "$work/kept-app"
XDG_DATA_HOME=$work/watched "$viewer" >/dev/null 2>&1 &
watched_pid=$!
XDG_DATA_HOME=$work/kept "$viewer" >/dev/null 2>&1 &
kept_pid=$!
sleep 15  # both start and settle
for window in $(xdotool search --onlyvisible --name '^vesk'); do
  xdotool windowminimize "$window"
done
sleep 2
start=$(date +%s)
for kind in watched kept; do
  pid_var=${kind}_pid
  eval "${kind}_main0=\$(main_ticks \${!pid_var}) ${kind}_tree0=\$(tree_ticks \${!pid_var})"
done
sleep "$seconds"
hz=$(getconf CLK_TCK)
echo "idle for $seconds s (goal: under 1% of one core on average):"
for kind in watched kept; do
  pid_var=${kind}_pid
  pid=${!pid_var}
  main0_var=${kind}_main0
  tree0_var=${kind}_tree0
  main=$(( $(main_ticks "$pid") - ${!main0_var} ))
  tree=$(( $(tree_ticks "$pid") - ${!tree0_var} ))
  awk -v k="$kind" -v m="$main" -v t="$tree" -v hz="$hz" -v s="$seconds" -v r="$(rss_kb "$pid")" \
    'BEGIN { printf "  %-8s CPU %.3f%% (main) %.3f%% (with web engine), resident %d MiB\n",
             k, 100 * m / hz / s, 100 * t / hz / s, r / 1024 }'
done
refreshed=$(XDG_DATA_HOME=$work/watched "$library" list |
  awk -F'\t' -v t0="$start" '{ cmd = "date -d " $7 " +%s"; cmd | getline when; close(cmd);
                               if (when >= t0) n++ } END { print n + 0 }')
echo "watched threads refreshed while idle: $refreshed"
