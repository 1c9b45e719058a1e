#!/usr/bin/env bash
# Starts Telvoria under Xvfb in a scratch station folder and saves a
# screenshot of the whole screen to the given file (default docs/mainwindow.png).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/docs/mainwindow.png}")"
bin="${TELVORIA_BUILD_DIR:-$root/build}/telvoria"
station="$(mktemp -d)"
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$station"' EXIT
cp "$root/Servers.txt" "$station/"
printf 'QZB\r\nTesting Telvoria V1.8a\r\nlocalhost\r\n80\r\n Telvoria  SSTV Transceiver V1.8a\r\n Telvoria  SSTV Transceiver V1.8a\r\n%s\r\n' \
  "$station/RXPics" > "$station/Config.txt"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
sleep 1
(cd "$station" && DISPLAY="$display" QT_QPA_PLATFORM=xcb TELVORIA_TEST_LISTEN_ADDRESS=127.0.0.1 "$bin") &
app=$!
sleep "${TELVORIA_SHOT_WAIT:-6}"
mkdir -p "$(dirname "$out")"
DISPLAY="$display" import -window root "$out"
echo "saved $out"
