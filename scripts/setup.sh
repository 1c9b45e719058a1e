#!/usr/bin/env bash
# Installs every Debian package the project needs that is not installed yet.
# Safe to run again: it does nothing when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  libjpeg62-turbo-dev libopenjp2-7-dev libpng-dev zlib1g-dev
  libmagick++-dev imagemagick
  libopencv-core-dev libopencv-imgproc-dev
  libsane-dev libsane1 sane-utils
  fonts-liberation fontconfig
  xvfb xauth
  lighttpd sqlite3 libdbd-sqlite3-perl libcgi-pm-perl
  libopenjp2-tools libjpeg-turbo-progs ffmpeg
  libbenchmark-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
