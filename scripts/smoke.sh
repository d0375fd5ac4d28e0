#!/usr/bin/env bash
# Starts the built viewer once without a display, as CI does: under Xvfb, on the demo forum at
# the port the build's forum address names, a thread typed in, its page shown, the window closed.
#   smoke.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
base=$(sed -n 's/^VESK_FORUM_BASE:STRING=//p' "$build/CMakeCache.txt")
. "$root/scripts/demo-forum.sh"
work=$(mktemp -d)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
DEMO_FORUM_PORT=${base##*:} start_demo_forum "$build/tools/demo-forum/vesk-demo-forum" "$work/log"
# A copy of the program, so that its page goes into a folder of its own.
cp "$build/app/vesk" "$build/app/vesk3.css" "$work/"
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/viewer-session.sh" "$work/vesk" \
  "$forum_base/look,600519,1000001.html" "$work/post.htm" "$work/shot.png" \
  "$build/tools/screenshot/vesk-screenshot" >"$work/session.log" 2>&1 ||
  { cat "$work/session.log" >&2; exit 1; }
[ -s "$work/shot.png" ] || { echo "smoke: no screenshot" >&2; exit 1; }
echo "smoke: the viewer started, showed a thread of the demo forum and closed"
