#!/usr/bin/env bash
# The viewer's figures, in an X display of its own with a small window manager:
#  - start to window shown, the viewer against a bare web view window showing a local page
#    (median of RUNS starts each, and their ratio);
#  - peak resident memory of the viewer's main process with the demo's 40-page thread shown,
#    against the bare view showing the same result page (and their ratio);
#  - start to window shown with 50 kept threads on the home page, against an empty library;
#  - a filter switch on a full table, and opening a kept 120-page thread (filter_switch_bench);
#  - a click on the menu button to its pop-up painted (menu_open_bench).
#   bench/viewer_figures.sh [BUILD_DIR] [RUNS]
# The demo forum is started at the port the build's forum address names.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-7}
viewer=$build/app/vesk
bare=$build/bench/bare_web_view
switch=$build/bench/filter_switch_bench
menu=$build/bench/menu_open_bench
forum_bin=$build/tools/demo-forum/vesk-demo-forum
for bin in "$viewer" "$bare" "$switch" "$menu" "$forum_bin"; do
  [ -x "$bin" ] || { echo "build first: scripts/build.sh $build ($bin is missing)" >&2; exit 2; }
done

. "$root/bench/figures-display.sh"
trap 'kill $wm ${forum_pid:-} ${app:-} 2>/dev/null; rm -rf "$work"' EXIT
DEMO_FORUM_PORT=${base##*:} start_demo_forum "$forum_bin" "$work/forum.log" ||
  { echo "is another program using port ${base##*:}?" >&2; exit 1; }
sleep 0.5

# The viewer keeps what it reads in a library of the figures' own.
export XDG_DATA_HOME=$work/empty
library=$build/cli/vesk-library

now_ns() { date +%s%N; }
# wait_window PATTERN: the id of the first visible window whose name matches, within 30 s.
wait_window() {
  local window=
  for _ in $(seq 3000); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && { echo "$window"; return 0; }
    sleep 0.01
  done
  echo "no window named $1 appeared" >&2
  return 1
}
stop_app() {
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=
}
peak_kb() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# start_ms FILE PATTERN COMMAND...: starts the command, appends to FILE the milliseconds until a
# window named PATTERN is shown, and ends it.
start_ms() {
  local file=$1 pattern=$2 t0
  shift 2
  t0=$(now_ns)
  "$@" >/dev/null 2>&1 &
  app=$!
  wait_window "$pattern" >/dev/null
  echo $((($(now_ns) - t0) / 1000000)) >>"$file"
  stop_app
}

# Start to window shown: from starting the program to its window mapped on the screen.
help_page=$root/app/pages/help.html
: >"$work/viewer.ms"
: >"$work/bare.ms"
for _ in $(seq "$runs"); do
  start_ms "$work/viewer.ms" '^vesk' "$viewer"
  start_ms "$work/bare.ms" '^bare-view$' "$bare" "$help_page"
done
viewer_ms=$(median <"$work/viewer.ms")
bare_ms=$(median <"$work/bare.ms")
echo "start to window shown (median of $runs):"
echo "  viewer     $viewer_ms ms   (runs: $(tr '\n' ' ' <"$work/viewer.ms"))"
echo "  bare view  $bare_ms ms   (runs: $(tr '\n' ' ' <"$work/bare.ms"))"
awk -v v="$viewer_ms" -v b="$bare_ms" 'BEGIN { printf "  ratio      %.2f (goal at most 1.2)\n", v / b }'

# Start to window shown with 50 kept threads: the demo's 12-page thread kept, then copied 49 times
# under other numbers.
if [ -x "$library" ]; then
  mkdir -p "$work/fifty/vesk"
  XDG_DATA_HOME=$work/fifty "$library" refresh "$base/look,601318,1000002.html" 2>/dev/null
  python3 - "$work/fifty/vesk/library.sqlite3" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for n in range(1, 50):
    cur = db.execute("INSERT INTO thread(board_code, thread_id, title, board_name, starter, resume_page,"
                     " fullest, complete, refreshed) SELECT board_code, CAST(? AS BLOB), title, board_name,"
                     " starter, resume_page, fullest, complete, refreshed + ? FROM thread WHERE id = 1",
                     (str(2000000 + n), n))
    db.execute("INSERT INTO post(thread, floor, page, position, sort_floor, author, time, body, deleted,"
               " state) SELECT ?, floor, page, position, sort_floor, author, time, body, deleted, state"
               " FROM post WHERE thread = 1", (cur.lastrowid,))
db.commit()
PY
  : >"$work/empty.ms"
  : >"$work/fifty.ms"
  for _ in $(seq "$runs"); do
    for kind in empty fifty; do
      start_ms "$work/$kind.ms" '^vesk' env XDG_DATA_HOME="$work/$kind" "$viewer"
    done
  done
  empty_ms=$(median <"$work/empty.ms")
  fifty_ms=$(median <"$work/fifty.ms")
  echo "start to window shown, 50 kept threads against an empty library (median of $runs):"
  echo "  50 threads $fifty_ms ms   (runs: $(tr '\n' ' ' <"$work/fifty.ms"))"
  echo "  empty      $empty_ms ms   (runs: $(tr '\n' ' ' <"$work/empty.ms"))"
  awk -v f="$fifty_ms" -v e="$empty_ms" 'BEGIN { printf "  ratio      %.2f (goal at most 1.1)\n", f / e }'
fi

# Peak memory with the 40-page thread shown.
page=$build/app/post.htm
rm -f "$page"
"$viewer" >/dev/null 2>&1 &
app=$!
window=$(wait_window '^vesk')
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 1.5
xdotool type --delay 2 "$base/look,300750,1000003.html"
xdotool key Return
for _ in $(seq 600); do
  [ -s "$page" ] && break
  sleep 0.1
done
[ -s "$page" ] || { echo "the viewer wrote no result page" >&2; exit 1; }
sleep 4  # the web view loads and paints it
viewer_kb=$(peak_kb "$app")
stop_app
cp "$page" "$work/post.htm"
cp "$build/app/vesk3.css" "$work/"
"$bare" "$work/post.htm" >"$work/bare.out" 2>/dev/null &
app=$!
for _ in $(seq 600); do
  grep -q loaded "$work/bare.out" && break
  sleep 0.1
done
sleep 4
bare_kb=$(peak_kb "$app")
stop_app
echo "peak resident memory, main process, 40-page thread shown ($(($(stat -c %s "$page") / 1024)) KiB page):"
echo "  viewer     $((viewer_kb / 1024)) MiB"
echo "  bare view  $((bare_kb / 1024)) MiB"
awk -v v="$viewer_kb" -v b="$bare_kb" 'BEGIN { printf "  ratio      %.2f (goal at most 1.3)\n", v / b }'

echo "filter switch on a full table (goal: page written and load started under 30 ms):"
"$switch" 40 2>/dev/null | sed 's/^/  /'
echo "menu button click to pop-up painted (goal: under 16 ms):"
"$menu" 30 2>/dev/null | sed 's/^/  /'
