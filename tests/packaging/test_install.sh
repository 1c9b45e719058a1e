#!/usr/bin/env bash
# test_install.sh CMAKE BUILD_DIR: installs the build into a scratch prefix,
# checks every installed file, and runs the installed launcher with the
# program replaced by a stand-in that records where and how it was started.
set -euo pipefail
cmake="$1"; build="$2"
unset TELVORIA_HOME
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/usr"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

for f in bin/telvoria libexec/telvoria/telvoria share/telvoria/Servers.txt \
         share/applications/telvoria.desktop share/icons/hicolor/scalable/apps/telvoria.svg; do
  [ -e "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/bin/telvoria" ] || fail "launcher not executable"
grep -qx 'Exec=telvoria' "$prefix/share/applications/telvoria.desktop" || fail "desktop entry does not start the launcher"
grep -qx 'Icon=telvoria' "$prefix/share/applications/telvoria.desktop" || fail "desktop entry names another icon"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/telvoria.svg" || fail "icon is no SVG"

log="$scratch/started.log"
cat >"$prefix/libexec/telvoria/telvoria" <<EOS
#!/bin/sh
pwd >"$log"
for a in "\$@"; do printf '%s\n' "\$a" >>"$log"; done
EOS
chmod +x "$prefix/libexec/telvoria/telvoria"
shipped="$prefix/share/telvoria/Servers.txt"

# First start: the station folder is made and given the shipped list; the
# program runs inside it with the arguments passed on unchanged.
home="$scratch/home1"
mkdir -p "$home"
(cd / && HOME="$home" "$prefix/bin/telvoria" one "two words")
[ -d "$home/Telvoria" ] || fail "station folder not created"
cmp -s "$shipped" "$home/Telvoria/Servers.txt" || fail "Servers.txt not copied"
printf '%s\n' "$home/Telvoria" one "two words" | cmp -s - "$log" || { cat "$log"; fail "not started in the station folder with its arguments"; }

# The operator's own list is never replaced.
echo "rodix.example.net" >"$home/Telvoria/Servers.txt"
(HOME="$home" "$prefix/bin/telvoria")
[ "$(cat "$home/Telvoria/Servers.txt")" = "rodix.example.net" ] || fail "existing Servers.txt overwritten"

# TELVORIA_HOME picks another station folder, its parents made as needed.
(HOME="$home" TELVORIA_HOME="$scratch/stations/second" "$prefix/bin/telvoria")
cmp -s "$shipped" "$scratch/stations/second/Servers.txt" || fail "TELVORIA_HOME not used"
[ "$(head -n1 "$log")" = "$scratch/stations/second" ] || fail "not started in TELVORIA_HOME"

# Started through a link elsewhere (as from /usr/local/bin), it still finds
# the program and the shipped files.
mkdir -p "$scratch/elsewhere"
ln -s "$prefix/bin/telvoria" "$scratch/elsewhere/telvoria"
(HOME="$scratch/home3" "$scratch/elsewhere/telvoria")
cmp -s "$shipped" "$scratch/home3/Telvoria/Servers.txt" || fail "link: Servers.txt not found"

echo "installed layout and launcher: OK"
