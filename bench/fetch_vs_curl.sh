#!/usr/bin/env bash
# A whole 40-page retrieval from the demo forum by vesk-fetch, beside curl fetching the same 40
# addresses in one process (reusing its connection). Prints the median times, their ratio, and
# vesk-fetch's peak resident memory.
#   bench/fetch_vs_curl.sh [BUILD_DIR] [RUNS] [LATENCY_MS]
# LATENCY_MS (default 0) makes the forum pause before every answer, as a distant server would.
# VESK_NGINX=1 serves the pages from nginx instead, when it is installed (Debian package nginx-light).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-30}
latency=${3:-0}
fetch=$build/cli/vesk-fetch
forum_bin=$build/tools/demo-forum/vesk-demo-forum
[ -x "$fetch" ] && [ -x "$forum_bin" ] || { echo "build first: scripts/build.sh $build" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl is missing" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package: time)" >&2; exit 2; }

. "$root/scripts/demo-forum.sh"
work=$(mktemp -d)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
start_demo_forum "$forum_bin" "$work/forum.log" --latency "$latency"
base=$forum_base
thread="look,300750,1000003"

# With nginx installed and VESK_NGINX=1 (and no latency asked for), the same pages come from nginx
# serving them as files, so that neither side waits for the demo forum's rendering.
if [ "${VESK_NGINX:-0}" = 1 ] && [ "$latency" = 0 ] && command -v nginx >/dev/null; then
  mkdir -p "$work/www" "$work/logs"
  for page in $(seq 1 40); do
    curl -s -o "$work/www/${thread}_$page.html" "$base/${thread}_$page.html"
  done
  chmod -R a+rX "$work"  # nginx's worker runs as another user when started as root
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat > "$work/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events {}
http {
  access_log off;
  server { listen 127.0.0.1:$port; root $work/www; default_type text/html; }
}
CONF
  nginx -p "$work" -c "$work/nginx.conf" &
  nginx_pid=$!
  trap 'kill ${forum_pid:-} ${nginx_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
  sleep 0.3
  base="http://127.0.0.1:$port"
fi

curl_args=()
for page in $(seq 1 40); do
  curl_args+=(-o /dev/null "$base/${thread}_$page.html")
done

now_ns() { date +%s%N; }
vesk_times=()
curl_times=()
cd "$work"
for _ in $(seq "$runs"); do
  start=$(now_ns)
  "$fetch" --base "$base" --out "$work/post.htm" "$base/$thread.html" 2>/dev/null
  vesk_times+=($(($(now_ns) - start)))
  start=$(now_ns)
  curl -s -H 'Accept: */*' "${curl_args[@]}"
  curl_times+=($(($(now_ns) - start)))
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
vesk_ms=$(median "${vesk_times[@]}" | awk '{printf "%.2f", $1/1e6}')
curl_ms=$(median "${curl_times[@]}" | awk '{printf "%.2f", $1/1e6}')
rss_kb=$(/usr/bin/time -f %M "$fetch" --base "$base" --out "$work/post.htm" "$base/$thread.html" \
  2>&1 >/dev/null | tail -n 1)

echo "runs: $runs, 40 pages of $base/$thread, server latency $latency ms"
echo "vesk-fetch median: $vesk_ms ms (retrieval, extraction, composition, file written)"
echo "curl median:       $curl_ms ms (40 transfers to /dev/null)"
awk -v v="$vesk_ms" -v c="$curl_ms" 'BEGIN {printf "ratio vesk/curl:   %.2f\n", v/c}'
echo "vesk-fetch peak resident memory: $((rss_kb / 1024)) MB ($rss_kb kB)"
