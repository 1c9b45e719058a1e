#!/usr/bin/env bash
# Takes the screenshots of the operator's guide (docs/guide-*.png) under Xvfb.
# Two stations (the program plus the end-to-end control socket, telvoria_peer)
# run on their own virtual screens and loopback addresses, logged in to a
# directory service started here on a free loopback port; the control socket
# puts each into the state shown.
#   TELVORIA_BUILD_DIR  build directory holding tests/e2e/telvoria_peer
#                       (default build-bench; built when missing)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TELVORIA_BUILD_DIR:-$root/build-bench}"
out="$root/docs"
peer="$build/tests/e2e/telvoria_peer"
if [ ! -x "$peer" ]; then
  cmake -S "$root" -B "$build" -DTELVORIA_BUILD_TESTS=ON >/dev/null
  cmake --build "$build" --target telvoria_peer -j2 >/dev/null
fi
mkdir -p "$out"
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# Virtual screens, one per station.
base=$((100 + RANDOM % 300))
for d in 0 1; do
  Xvfb ":$((base + d))" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
done
sleep 1

service_port=$(free_port)
sh "$root/rodix-service/run.sh" "$service_port" "$work/service" 127.0.0.1 >"$work/service.log" 2>&1 &
pids+=($!)

# start_station NAME CALL ADDRESS SCREEN [first]: a station folder, and the
# program on screen SCREEN; "first" leaves Config.txt out (first start).
declare -A control
start_station() {
  local name=$1 call=$2 address=$3 screen=$4 first=${5:-}
  local dir="$work/$name" port
  port=$(free_port)
  mkdir -p "$dir/RXPics"
  cp "$root/Servers.txt" "$dir/"
  if [ -z "$first" ]; then
    printf '%s\r\n%s\r\n127.0.0.1\r\n%s\r\n %s Telvoria\r\n 73 de %s\r\n%s\r\n' \
      "$call" "Station $call, loopback" "$service_port" "$call" "$call" "$dir/RXPics" >"$dir/Config.txt"
  fi
  (cd "$dir" && DISPLAY=":$((base + screen))" QT_QPA_PLATFORM=xcb TELVORIA_TEST_LISTEN_ADDRESS="$address" \
     TELVORIA_PEER_CONTROL="$port" exec "$peer") >"$work/$name.log" 2>&1 &
  pids+=($!)
  control[$name]=$port
}

# ask NAME COMMAND: one line to a station's control socket, one line back.
ask() {
  local answer
  exec 3<>"/dev/tcp/127.0.0.1/${control[$1]}" || return 1
  printf '%s\n' "$2" >&3
  IFS= read -r -t 20 answer <&3 || answer=""
  exec 3>&-
  printf '%s' "$answer"
}
# wait_for NAME COMMAND EXPECTED [SECONDS]
wait_for() {
  local i
  for ((i = 0; i < ${4:-30} * 10; i++)); do
    [ "$(ask "$1" "$2" 2>/dev/null || true)" = "$3" ] && return 0
    sleep 0.1
  done
  echo "$1: '$2' never answered '$3' (last '$(ask "$1" "$2" 2>/dev/null || true)')" >&2
  return 1
}
wait_up() {
  local i
  for ((i = 0; i < 300; i++)); do
    [ "$(ask "$1" shown 2>/dev/null || true)" = 1 ] && return 0
    sleep 0.1
  done
  echo "$1 did not start (log: $(cat "$work/$1.log"))" >&2
  return 1
}
shot() {
  sleep "${2:-1}"
  DISPLAY=":$((base + $3))" import -window root "$work/shot.png"
  # No window manager: the window sits on a black screen; keep only it.
  convert "$work/shot.png" -trim +repage "$out/guide-$1.png"
  echo "saved docs/guide-$1.png"
}
row_of() {
  local rows r
  rows=$(ask "$1" rows)
  for ((r = 1; r < rows; r++)); do
    [ "$(ask "$1" "cell 0 $r")" = "$2" ] && { echo "$r"; return 0; }
  done
  return 1
}

# 1. First start: no Config.txt, the settings dialog opens over the window.
start_station first N0CALL 127.0.0.4 0 first
wait_up first
sleep 1
ask first "settext EditCall N0CALL" >/dev/null || true
ask first "settext InfoText Op Anna, loopback test" >/dev/null || true
ask first "settext EditServer localhost" >/dev/null || true
shot first-start 2 0
kill "${pids[-1]}" 2>/dev/null || true

# 2. Logging in: both stations connect and see each other.
for ((i = 0; i < 100; i++)); do
  (exec 3<>"/dev/tcp/127.0.0.1/$service_port") 2>/dev/null && break
  sleep 0.1
done
start_station alpha ALPHA 127.0.0.2 0
start_station bravo BRAVO 127.0.0.3 1
wait_up alpha
wait_up bravo
ask bravo "click ConnectButton" >/dev/null
wait_for bravo "text Connected" Ready
ask alpha "click ConnectButton" >/dev/null
wait_for alpha "text Connected" Ready
for ((i = 0; i < 60; i++)); do
  row=$(row_of alpha BRAVO || true)
  [ -n "$row" ] && break
  ask alpha "click RefreshButton" >/dev/null
  sleep 0.5
done
[ -n "$row" ] || { echo "BRAVO never appeared in ALPHA's list" >&2; exit 1; }
for ((i = 0; i < 60; i++)); do
  [ -n "$(row_of bravo ALPHA || true)" ] && break
  ask bravo "click RefreshButton" >/dev/null
  sleep 0.5
done
shot login 1 0

# 3. Sending: BRAVO chosen in the list, the large picture sent.
ask bravo "check AutoSave 1" >/dev/null
ask alpha "select $row" >/dev/null
wait_for alpha "text Selected" BRAVO
ask alpha "click SendTo" >/dev/null
wait_for alpha "text TXStatus" Sent
shot send 1 0

# 4. Receiving: the picture on BRAVO's first receive page, ALPHA on its button.
wait_for bravo "text SpeedButton1" "ALPHA|1|1"
wait_for bravo "text Connected" Received
shot receive 1 1

# 5. The editor: transmit page 2, a rectangle and a circle drawn, the
# callsign and the header written, then the Draw menu open.
ask alpha "click SpeedButton6" >/dev/null
sleep 0.5
ask alpha "click ColourBars1" >/dev/null
sleep 0.5
ask alpha "click Rectangle1" >/dev/null
sleep 0.2
ask alpha "mouse down 60 120" >/dev/null
ask alpha "mouse move 200 200" >/dev/null
ask alpha "mouse move 260 300" >/dev/null
ask alpha "mouse up 260 300" >/dev/null
ask alpha "click Circle1" >/dev/null
sleep 0.2
ask alpha "mouse down 300 140" >/dev/null
ask alpha "mouse move 380 220" >/dev/null
ask alpha "mouse move 460 300" >/dev/null
ask alpha "mouse up 460 300" >/dev/null
ask alpha "click AddCallsign1" >/dev/null
ask alpha "click AddFooter1" >/dev/null
sleep 0.5
ask alpha "menu Draw1" >/dev/null
shot editor 1.5 0
