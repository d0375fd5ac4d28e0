# Sourced by scripts that need the demo forum.
# start_demo_forum BIN LOG [ARGS...]: starts it on 127.0.0.1 at DEMO_FORUM_PORT (default: any free
# port), waits until it listens, and sets forum_pid and forum_base. The caller stops it
# (kill "$forum_pid").
start_demo_forum() {
  local bin=$1 log=$2
  shift 2
  "$bin" --port "${DEMO_FORUM_PORT:-0}" "$@" >"$log" &
  forum_pid=$!
  for _ in $(seq 100); do
    [ -s "$log" ] && break
    sleep 0.05
  done
  forum_base=$(head -n 1 "$log")
  [ -n "$forum_base" ] || { echo "the demo forum did not start" >&2; return 1; }
}
