#!/usr/bin/env bash
# Builds one fuzz target with clang (libFuzzer, ASan, UBSan) and runs it for
# the given number of seconds:   fuzz/run.sh TARGET SECONDS [libFuzzer flags]
# Targets: transfer_jpeg transfer_j2k directory_reply directory_request settings
# The corpus the fuzzer grows is kept between runs in
# $TELVORIA_FUZZ_BUILD_DIR/corpus/TARGET (default build-fuzz/); the seeds in
# fuzz/corpus/TARGET and the kept findings in fuzz/regressions/TARGET are read
# too. Inputs that break the code land in build-fuzz/findings/TARGET/: copy
# each into fuzz/regressions/TARGET/ once it is fixed, so the replay test
# checks it from then on.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -lt 2 ]; then
  sed -n '2,4p' "${BASH_SOURCE[0]}" >&2
  exit 2
fi
target="$1"; seconds="$2"; shift 2
if [ ! -d "$root/fuzz/corpus/$target" ]; then
  echo "unknown target '$target'" >&2
  exit 2
fi
build="${TELVORIA_FUZZ_BUILD_DIR:-$root/build-fuzz}"

# clang and its libFuzzer runtime are needed here only, so the project's
# setup does not install them.
need=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
"$root/scripts/setup.sh"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTELVORIA_BUILD_FUZZERS=ON -DTELVORIA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target" -j"${TELVORIA_FUZZ_BUILD_JOBS:-2}"

work="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$work" "$findings" "$build/logs"
dirs=("$work" "$root/fuzz/corpus/$target")
[ -d "$root/fuzz/regressions/$target" ] && dirs+=("$root/fuzz/regressions/$target")

export ASAN_OPTIONS="halt_on_error=1:print_stacktrace=1:detect_leaks=1:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

log="$build/logs/$target.log"
echo "fuzzing $target for $seconds s; log $log"
set +e
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$@" "${dirs[@]}" 2>&1 | tee "$log" | grep -v '^#[0-9]*.*\(NEW\|REDUCE\|pulse\)'
rc=${PIPESTATUS[0]}
set -e
if [ "$rc" -ne 0 ]; then
  echo "fuzz_$target found a problem (exit $rc); inputs in $findings" >&2
fi
exit "$rc"
