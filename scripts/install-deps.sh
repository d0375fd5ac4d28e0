#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libcurl4-openssl-dev curl time
  libcpp-httplib-dev libsqlite3-dev libgumbo-dev libssl-dev libzip-dev epubcheck
  libwebp-dev libpng-dev libharfbuzz-dev libfreetype-dev libfontconfig-dev
  libgtest-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins qt6-webengine-dev qt6-translations-l10n fonts-wqy-microhei
  xvfb xauth openbox xdotool
  dbus-daemon dbus-bin python3-dbusmock
  man-db groff-base lintian
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
