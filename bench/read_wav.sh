#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Read-only throughput of the WAV reader: one pass of TWaveIn over a generated 20-minute
# 16-bit stereo 44.1 kHz WAV (about 212 MB), against FFmpeg reading the same file
# (`ffmpeg -i x.wav -f null -`). Both run from the page cache, best of three runs each.
#
# Usage: bench/read_wav.sh [minutes]   (BUILD_DIR overrides build/bench)
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
minutes=${1:-20}
build=${BUILD_DIR:-build/bench}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIMORA_BENCH=ON \
  -DBUILD_TESTING=OFF -DTRIMORA_ONLY="platform;pipeline;formats/wave" >/dev/null
if ! cmake --build "$build" --target wave_read -j2 >/dev/null; then
  echo "wave_read did not build: bench/CMakeLists.txt must include bench/wave.cmake" >&2
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
wav=$tmp/read_bench.wav
sox -D -R -V1 -n -r 44100 -b 16 -e signed -c 2 "$wav" synth "$((minutes * 60))" pinknoise vol 0.5
cat "$wav" >/dev/null

# best <command...>: the shortest wall time of three runs, in seconds.
best() {
  local b=""
  for _ in 1 2 3; do
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s.%N)
    b=$(awk -v s="$s" -v e="$e" -v b="$b" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  echo "$b"
}

ours=$(best "$build/bench/wave_read" "$wav")
theirs=$(best ffmpeg -nostdin -v error -i "$wav" -f null -)
size=$(stat -c %s "$wav")
awk -v m="$minutes" -v n="$size" -v o="$ours" -v f="$theirs" 'BEGIN {
  printf "file: %d min, %d bytes\n", m, n
  printf "TWaveIn: %.3f s (%.0f MB/s)\n", o, n / o / 1e6
  printf "ffmpeg:  %.3f s (%.0f MB/s)\n", f, n / f / 1e6
  printf "TWaveIn is %.1f times as fast as ffmpeg\n", f / o
}'
