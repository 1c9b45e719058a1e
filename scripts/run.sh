#!/usr/bin/env bash
# Installs what is missing, builds, and starts Telvoria in the station folder
# (TELVORIA_HOME, default ~/Telvoria): Config.txt and Servers.txt live there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
station="${TELVORIA_HOME:-$HOME/Telvoria}"
mkdir -p "$station"
[ -e "$station/Servers.txt" ] || cp "$root/Servers.txt" "$station/Servers.txt"
cd "$station"
exec "${TELVORIA_BUILD_DIR:-$root/build}/telvoria"
