#!/usr/bin/env bash
# Installs the Debian package as a user of it would, runs the programs from where it put them
# against the demo forum, then removes it and checks that it left nothing in /usr. As root (CI).
#   package-check.sh DEB BUILD_DIR    (BUILD_DIR: a build with the demo forum and screenshot tool)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
build=$(cd "$2" && pwd)
. "$root/scripts/demo-forum.sh"
work=$(mktemp -d)
trap 'kill ${forum_pid:-} 2>/dev/null; rm -rf "$work"' EXIT
start=$(date +%s)

DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; exit 1; }
dpkg -L vesk | grep '^/usr/' >"$work/files"
for program in vesk vesk-library vesk-watch vesk-fetch; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || { echo "no /usr/bin/$program" >&2; exit 1; }
done
vesk-library --help >/dev/null
man -w vesk-library >/dev/null
man -w vesk >/dev/null && man -w vesk-watch >/dev/null
[ -f /usr/share/applications/vesk.desktop ] && [ -f /usr/share/icons/hicolor/48x48/apps/vesk.png ]

# The command on the demo forum, with a library of its own.
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
DEMO_FORUM_PORT=8808 start_demo_forum "$build/tools/demo-forum/vesk-demo-forum" "$work/forum.log"
thread="$forum_base/look,600519,1000001.html"
vesk-library --quiet --base "$forum_base" refresh --no-images "$thread"
vesk-library --base "$forum_base" show --mode starter --out "$work/show.htm" "$thread"
[ -s "$work/show.htm" ]
# The installed viewer, started without a display: its page goes to the user's data folder.
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/viewer-session.sh" /usr/bin/vesk "$thread" \
  "$XDG_DATA_HOME/vesk/post.htm" "$work/shot.png" "$build/tools/screenshot/vesk-screenshot" \
  >"$work/session.log" 2>&1 || { cat "$work/session.log" >&2; exit 1; }

DEBIAN_FRONTEND=noninteractive apt-get remove -y vesk >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; exit 1; }
left=$(while read -r file; do if [ -f "$file" ]; then echo "$file"; fi; done <"$work/files")
[ -z "$left" ] || { echo "left in /usr after removal:" >&2; echo "$left" >&2; exit 1; }
echo "package: installed, vesk-library refreshed and showed a thread, the viewer started," \
  "removed with nothing left ($(( $(date +%s) - start )) s)"
