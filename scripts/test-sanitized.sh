#!/usr/bin/env bash
# Builds the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ (or $TELVORIA_BUILD_DIR) and runs every test headless; the
# first sanitizer report fails its test, with the stack.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export TELVORIA_BUILD_DIR="${TELVORIA_BUILD_DIR:-$root/build-asan}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DTELVORIA_SANITIZE=ON "$@"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="halt_on_error=1:print_stacktrace=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
# Leaks that are third-party libraries' own are listed in tests/lsan.supp.
export LSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# Sanitized code runs several times slower: the event-loop stall bound of
# the hostile-peer tests is for the normal build.
export TELVORIA_TEST_STALL_LIMIT_MS=1000
cd "$TELVORIA_BUILD_DIR"
# Sanitized code runs several times slower, hence the longer limit.
ctest --output-on-failure --timeout 1200 -j"$(nproc)"
