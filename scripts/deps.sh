#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# The README lists each package and what it is for.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n
  libx11-dev libxtst-dev libxi-dev libxfixes-dev
  libcurl4-openssl-dev libarchive-dev unzip alsa-utils
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  xvfb xauth jwm xclip xdotool x11-utils xterm mousepad fonts-ipafont-gothic
  poppler-utils
  ibus ibus-anthy dbus-daemon
  stress-ng
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "These packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
