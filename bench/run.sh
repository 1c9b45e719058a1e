#!/usr/bin/env bash
# Builds the benchmarks (build-bench, -DTELVORIA_BUILD_BENCH=ON) and prints one
# Markdown table: codec times beside the reference tools on the same pictures,
# click-to-"Received" latency, pictures per second under load, start-up time
# and peak memory. About 3 to 5 minutes.
#   TELVORIA_BENCH_BUILD_DIR  build directory (default build-bench)
#   TELVORIA_BENCH_QUICK=1    fewer iterations (a smoke run)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TELVORIA_BENCH_BUILD_DIR:-$root/build-bench}"
quick="${TELVORIA_BENCH_QUICK:-0}"

"$root/scripts/setup.sh"
log="$build/bench-build.log"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build" -DTELVORIA_BUILD_BENCH=ON -DTELVORIA_BUILD_TESTS=ON &&
       cmake --build "$build" --target telvoria_codec_cli bench_stations telvoria_peer -j2; } >"$log" 2>&1; then
  tail -30 "$log" >&2
  echo "build failed (log: $log)" >&2
  exit 1
fi
cli="$build/bench/telvoria_codec_cli"
stations="$build/bench/bench_stations"
for tool in opj_compress opj_decompress cjpeg djpeg; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
started=$(date +%s)

if [ "$quick" = 1 ]; then loops=3; rounds=1; inproc=5; lat=3; senders=4; pics=3; starts=1
else loops=30; rounds=5; inproc=60; lat=20; senders=20; pics=10; starts=5; fi

# Milliseconds per run of a command, timed over $loops runs in a shell loop
# (process start and file I/O included); the median of $rounds such loops.
per_run_ms() {
  local results=() r i t0 t1
  for ((r = 0; r < rounds; r++)); do
    t0=$(date +%s%N)
    for ((i = 0; i < loops; i++)); do "$@" >/dev/null 2>&1 || true; done
    t1=$(date +%s%N)
    results+=("$(( (t1 - t0) / loops ))")
  done
  printf '%s\n' "${results[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1e6}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
row() { printf '| %s | %s ms | %s ms | %s | %s |\n' "$1" "$2" "$3" "$(ratio "$2" "$3")" "$4"; }
size() { stat -c %s "$1"; }

"$cli" picture large "$work/large.ppm"
"$cli" picture small "$work/small.ppm"
"$cli" encode-j2k "$work/large.ppm" "$work/ours.j2k"
opj_compress -i "$work/large.ppm" -o "$work/ref.j2k" -r 20 -n 6 -p LRCP -I >/dev/null
"$cli" encode-jpeg "$work/small.ppm" "$work/ours.jpg"
cjpeg -quality 90 -baseline -dct int -outfile "$work/ref.jpg" "$work/small.ppm"

rows=()
# What a process costs before any work: ours loads Qt, the tools only libc
# and their codec library.
a=$(per_run_ms "$cli" time)
b=$(per_run_ms cjpeg -version)
rows+=("$(row "Process start and exit, no work: telvoria_codec_cli (usage) vs cjpeg -version" "$a" "$b" \
  "part of every process + file figure below; ours loads QtCore and QtGui")")
# JPEG 2000, port 27223, 512x384.
a=$(per_run_ms "$cli" encode-j2k "$work/large.ppm" "$work/o.j2k")
b=$(per_run_ms opj_compress -i "$work/large.ppm" -o "$work/r.j2k" -r 20 -n 6 -p LRCP -I)
rows+=("$(row "JPEG 2000 encode 512x384, process + file: telvoria_codec_cli vs opj_compress -r 20 -p LRCP -I" "$a" "$b" \
  "both include process start and file I/O; code stream $(size "$work/ours.j2k") B ours, $(size "$work/ref.j2k") B reference (budget 29491 B)")")
a=$("$cli" time encode-j2k "$work/large.ppm" "$inproc")
b=$("$cli" time ref-encode-j2k "$work/large.ppm" "$inproc")
rows+=("$(row "JPEG 2000 encode 512x384, in-process: EncodeJ2K vs libopenjp2 with opj_compress settings" "$a" "$b" \
  "median of $inproc calls, memory to memory")")
a=$(per_run_ms "$cli" decode-j2k "$work/ours.j2k" "$work/o.ppm")
b=$(per_run_ms opj_decompress -i "$work/ours.j2k" -o "$work/r.ppm")
rows+=("$(row "JPEG 2000 decode 512x384, process + file: telvoria_codec_cli vs opj_decompress" "$a" "$b" \
  "same code stream (ours) both sides; both include process start and file I/O")")
a=$("$cli" time decode-j2k "$work/ours.j2k" "$inproc")
b=$("$cli" time ref-decode-j2k "$work/ours.j2k" "$inproc")
rows+=("$(row "JPEG 2000 decode 512x384, in-process: DecodeJ2K vs libopenjp2 defaults" "$a" "$b" \
  "median of $inproc calls; ours also checks the stream and converts to 24-bit RGB")")
# JPEG, port 27222, 320x256.
a=$(per_run_ms "$cli" encode-jpeg "$work/small.ppm" "$work/o.jpg")
b=$(per_run_ms cjpeg -quality 90 -baseline -dct int -outfile "$work/r.jpg" "$work/small.ppm")
rows+=("$(row "JPEG encode 320x256, process + file: telvoria_codec_cli vs cjpeg -quality 90 -baseline -dct int" "$a" "$b" \
  "both include process start and file I/O; $(size "$work/ours.jpg") B ours, $(size "$work/ref.jpg") B reference")")
a=$("$cli" time encode-jpeg "$work/small.ppm" "$((inproc * 5))")
b=$("$cli" time ref-encode-jpeg "$work/small.ppm" "$((inproc * 5))")
rows+=("$(row "JPEG encode 320x256, in-process: EncodeJpeg vs libjpeg with cjpeg settings" "$a" "$b" \
  "median of $((inproc * 5)) calls, memory to memory")")
a=$(per_run_ms "$cli" decode-jpeg "$work/ours.jpg" "$work/o.ppm")
b=$(per_run_ms djpeg -dct int -ppm -outfile "$work/r.ppm" "$work/ours.jpg")
rows+=("$(row "JPEG decode 320x256, process + file: telvoria_codec_cli vs djpeg -dct int" "$a" "$b" \
  "same JPEG (ours) both sides; both include process start and file I/O")")
a=$("$cli" time decode-jpeg "$work/ours.jpg" "$((inproc * 5))")
b=$("$cli" time ref-decode-jpeg "$work/ours.jpg" "$((inproc * 5))")
rows+=("$(row "JPEG decode 320x256, in-process: DecodeJpeg vs libjpeg with djpeg settings" "$a" "$b" \
  "median of $((inproc * 5)) calls, memory to memory")")

rows+=("$("$stations" latency "$lat")")
rows+=("$("$stations" load "$senders" "$pics")")
rows+=("$("$stations" startup "$starts")")

load_after="$(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Telvoria benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $load_before at start, $load_after at end; $(( $(date +%s) - started )) s"
echo
echo "| Measure | Ours | Reference | Ours / reference | Notes |"
echo "| --- | --- | --- | --- | --- |"
printf '%s\n' "${rows[@]}"
