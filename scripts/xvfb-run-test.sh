#!/usr/bin/env bash
# Runs one test program in an X display of its own, with a small window manager as a desktop has
# one, so that its windows are real windows that can become active.
#   xvfb-run-test.sh PROGRAM [ARGS...]
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 0.5
  QT_QPA_PLATFORM=xcb "$@"
  status=$?
  kill $wm 2>/dev/null
  exit $status' bash "$@"
