# Sourced by the figures scripts that show windows, with root and build set, before anything
# else is started: runs the script again in an X display of its own (xvfb-run, with the
# arguments it was given) under a small window manager, and sets work (a fresh folder), wm (the
# window manager) and base (the build's forum address), with the demo forum's helpers loaded.
if [ -z "${VESK_FIGURES_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" env VESK_FIGURES_DISPLAY=1 "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu --disable-dev-shm-usage}"
work=$(mktemp -d)
openbox >/dev/null 2>&1 &
wm=$!
base=$(sed -n 's/^VESK_FORUM_BASE:STRING=//p' "$build/CMakeCache.txt")
. "$root/scripts/demo-forum.sh"
