#!/usr/bin/env bash
# Inside an X display without a desktop: a small window manager, the viewer, a thread address
# typed into it and Enter pressed; once the result page has been written and shown, a screenshot
# of the screen, then the window is closed.
#   viewer-session.sh VIEWER THREAD_URL PAGE SCREENSHOT SCREENSHOT_TOOL
set -euo pipefail
viewer=$1 url=$2 page=$3 shot=$4 grab=$5
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null' EXIT
sleep 0.5
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu --disable-dev-shm-usage}"
"$viewer" &
app=$!
# Windows come and go while the program starts; a search may trip over one that just went.
window=
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name '^vesk' 2>/dev/null | head -n 1) || true
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "the viewer's window did not appear" >&2; kill $app; exit 1; }
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 1.5
xdotool type --delay 2 "$url"
xdotool key Return
for _ in $(seq 300); do
  [ -s "$page" ] && break
  sleep 0.1
done
[ -s "$page" ] || { echo "the result page was not written" >&2; kill $app; exit 1; }
sleep 2  # the web view loads it
"$grab" "$shot"
# Closed as a user closes it, through the window manager.
xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 >/dev/null 2>&1 || true
for _ in $(seq 50); do
  kill -0 $app 2>/dev/null || break
  sleep 0.1
done
if kill -0 $app 2>/dev/null; then
  echo "the viewer did not close" >&2
  kill $app
  exit 1
fi
wait $app
