#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the waveform overview of 20-minute files from the start of the build to the complete
# overview, against FFmpeg decoding the same file alone (`ffmpeg -i FILE -f null -`): a WAV
# (16-bit stereo 44.1 kHz), an MP3 (128 kbps CBR, made by lame) and a WMA (version 2,
# 128 kbps, made by FFmpeg). Prints the median wall time of each over several runs (whole
# processes, as the other benchmarks), the ratio, when the first columns were there, and the
# builder's memory (growth of the resident set over the build).
#
# Usage: bench/peaks.sh [RUNS]   (default 3)
# BUILD_DIR is where the optimised build of the bench program goes (default build/bench-peaks);
# TRIMORA_BENCH_DIR is where the inputs are generated once and kept (default:
# ${TMPDIR:-/tmp}/trimora-bench).
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-3}
build=${BUILD_DIR:-build/bench-peaks}
# The default preset's optimisation: GCC 12 at -O3 trips a false -Wrestrict in time_text.cpp.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRIMORA_BENCH=ON \
  -DBUILD_TESTING=OFF \
  -DTRIMORA_ONLY="platform;pipeline;formats/wave;formats/media;formats/mp3out;tags;cutting" \
  >/dev/null
if ! log=$(cmake --build "$build" --target peaks 2>&1); then
  echo "$log" >&2
  exit 1
fi
TRIMORA_CLI=$build/bench/peaks bench_setup sox lame ffmpeg

wav=$(input_wav)
mp3=$(input_mp3)
wma=$(input_wma)
out=$work/peaks.out

declare -A median peak
for kind in wav mp3 wma; do
  input=${!kind}
  cat "$input" >/dev/null  # both tools read from the page cache
  for name in "peaks_$kind" "ffmpeg_$kind"; do rm -f "$work/$name.times"; done
  rm -f "$work/peaks_$kind.first" "$work/peaks_$kind.growth"
  for ((i = 0; i < runs; i++)); do
    run "peaks_$kind" "$cli" "$input"
    "$cli" "$input" | sed -n 's/^first \([0-9.]*\) s.*memory \([0-9.]*\) MiB$/\1 \2/p' \
      >>"$work/peaks_$kind.first"
    run "ffmpeg_$kind" ffmpeg -nostdin -v error -i "$input" -f null -
  done
  echo "== $kind: $(basename "$input"), median of $runs runs"
  summarise "peaks_$kind" "ffmpeg_$kind"
  first=$(cut -d' ' -f1 "$work/peaks_$kind.first" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
  growth=$(cut -d' ' -f2 "$work/peaks_$kind.first" | sort -n | tail -1)
  echo "overview / ffmpeg decode: $(ratio "${median[peaks_$kind]}" "${median[ffmpeg_$kind]}")" \
       "(target: mp3, wma <= 1.10; wav <= 0.5 s)"
  echo "first columns after ${first} s (target <= 0.100); builder memory ${growth} MiB" \
       "(target < 16)"
done
