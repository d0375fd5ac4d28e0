#!/usr/bin/env bash
# Installs and builds, starts the bundled demo forum on 127.0.0.1 at the port the build's forum
# address names, and opens the viewer on it. Without a display, the viewer runs under Xvfb: a demo
# thread address is typed in, and when the result page is shown a screenshot of the window is
# saved as ./vesk-demo.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# Only the three programs the demo runs, in a folder of their own.
build="$root/build-demo"
"$root/scripts/build.sh" demo

# The port of the forum address the viewer was built for (http://127.0.0.1:PORT).
base=$(sed -n 's/^VESK_FORUM_BASE:STRING=//p' "$build/CMakeCache.txt")
port=${base##*:}
. "$root/scripts/demo-forum.sh"
log=$(mktemp)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -f "$log"' EXIT
DEMO_FORUM_PORT=$port start_demo_forum "$build/tools/demo-forum/vesk-demo-forum" "$log" ||
  { echo "is another program using port $port?" >&2; exit 1; }
echo "demo forum at $forum_base; its threads:"
tail -n +2 "$log"

export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu --disable-dev-shm-usage}"
viewer="$build/app/vesk"
page="$build/app/post.htm"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "opening the viewer; paste one of the addresses above (or click one on its start page)"
  "$viewer"
  exit 0
fi

echo "no display here: running the viewer under Xvfb with a demo thread"
shot="$(pwd)/vesk-demo.png"
rm -f "$page"
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/viewer-session.sh" "$viewer" \
  "$forum_base/look,600519,1000001.html" "$page" "$shot" "$build/tools/screenshot/vesk-screenshot"
echo "result page: $page"
echo "screenshot:  $shot"
