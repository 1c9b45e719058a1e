#!/usr/bin/env bash
# Builds the Debian package, installs it, checks its files and that the
# installed program starts (headless, in a scratch HOME, creating the station
# folder with the shipped Servers.txt), then removes it and checks that
# nothing is left. Needs root or sudo; changes the machine's installed
# packages, so it is not part of the ordinary test run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TELVORIA_PACKAGE_BUILD_DIR:-$root/build-package}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

fail() { echo "package-test: FAIL: $*" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVORIA_BUILD_TESTS=OFF \
  -DTELVORIA_SANITIZE=OFF -DTELVORIA_BUILD_FUZZERS=OFF >/dev/null
cmake --build "$build" --target telvoria -j"$(nproc)"
rm -f "$build"/telvoria_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/telvoria_*.deb)"
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Architecture:/,$p'
dpkg-deb --contents "$deb"

if dpkg-query -W -f='${Status}' telvoria 2>/dev/null | grep -q 'installed'; then
  $SUDO dpkg --purge telvoria
fi
$SUDO apt-get install -y -qq "$deb" >/dev/null

files=(
  /usr/bin/telvoria
  /usr/libexec/telvoria/telvoria
  /usr/share/telvoria/Servers.txt
  /usr/share/applications/telvoria.desktop
  /usr/share/icons/hicolor/scalable/apps/telvoria.svg
)
for f in "${files[@]}"; do
  [ -e "$f" ] || fail "$f not installed"
done
[ -x /usr/bin/telvoria ] && [ -x /usr/libexec/telvoria/telvoria ] || fail "programs not executable"
if ldd /usr/libexec/telvoria/telvoria | grep -q 'not found'; then
  ldd /usr/libexec/telvoria/telvoria | grep 'not found'
  fail "libraries missing"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/telvoria.desktop || fail "desktop entry invalid"
fi

# Start the installed program as a user would, from the menu's command.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
(
  cd /
  # A loopback address of its own, so the picture listeners never meet
  # another copy or the network.
  HOME="$scratch" QT_QPA_PLATFORM=offscreen TELVORIA_TEST_LISTEN_ADDRESS=127.0.0.231 \
    exec /usr/bin/telvoria >"$scratch/out.log" 2>&1
) &
pid=$!
sleep "${TELVORIA_PACKAGE_START_SECONDS:-5}"
if ! kill -0 "$pid" 2>/dev/null; then
  wait "$pid" || true
  cat "$scratch/out.log" >&2
  fail "the installed program did not stay running"
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
if [ -s "$scratch/out.log" ]; then
  echo "program output:"
  sed -n '1,20p' "$scratch/out.log"
fi
[ -d "$scratch/Telvoria" ] || fail "station folder not created"
cmp -s "$scratch/Telvoria/Servers.txt" /usr/share/telvoria/Servers.txt || fail "Servers.txt not copied"
echo "started: station folder $(ls "$scratch/Telvoria" | tr '\n' ' ')"

$SUDO apt-get remove -y -qq telvoria >/dev/null
# Whatever removal leaves (configuration files) goes with the purge.
if dpkg-query -W telvoria >/dev/null 2>&1; then
  $SUDO dpkg --purge telvoria >/dev/null
fi
dpkg-query -W telvoria >/dev/null 2>&1 && fail "package still known to dpkg after purge"
for f in "${files[@]}"; do
  [ ! -e "$f" ] || fail "$f left after removal"
done
[ ! -e /usr/libexec/telvoria ] && [ ! -e /usr/share/telvoria ] || fail "package folders left after removal"
echo "package-test: OK"
