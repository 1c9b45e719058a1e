#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$@"
export QT_QPA_PLATFORM=offscreen
cd "${TELVORIA_BUILD_DIR:-$root/build}"
ctest --output-on-failure --timeout 600 -j"$(nproc)"
