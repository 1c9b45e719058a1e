#!/bin/sh
# Starts Telvoria in the station folder (TELVORIA_HOME, default ~/Telvoria),
# where it keeps Config.txt and reads Servers.txt: the folder is created on
# first start and given the shipped server list.
set -e
here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
station=${TELVORIA_HOME:-$HOME/Telvoria}
mkdir -p "$station"
if [ ! -e "$station/Servers.txt" ] && [ -e "$prefix/share/telvoria/Servers.txt" ]; then
  cp "$prefix/share/telvoria/Servers.txt" "$station/Servers.txt"
fi
cd "$station"
exec "$prefix/libexec/telvoria/telvoria" "$@"
