#!/usr/bin/env bash
# Installs and builds, starts the bundled demo forum on 127.0.0.1, and fetches one of its threads
# into ./post.htm (all posts; the starter's in red). Extra arguments go to vesk-fetch, for example
# --mode starter, or --mode names --names '股海老船长,222.71'.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo

. "$root/scripts/demo-forum.sh"
log=$(mktemp)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -f "$log"' EXIT
start_demo_forum "$root/build/tools/demo-forum/vesk-demo-forum" "$log"
base=$forum_base
echo "demo forum at $base; its threads:"
tail -n +2 "$log"

"$root/build/cli/vesk-fetch" --base "$base" --summary "$@" "$base/look,600519,1000001.html" |
  iconv -f GBK -t UTF-8
echo "written: $(pwd)/post.htm"
