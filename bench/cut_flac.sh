#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the lossless FLAC cut (bench/flac_copy, the frame-copy sink) against FFmpeg's stream
# copy (`-ss 60 -to 1100 -c copy`) on a 20-minute 16-bit stereo 44.1 kHz FLAC file (the
# shared tone under pink noise, FFmpeg's FLAC encoder). Prints the median wall time over
# several runs, the ratio, the peak memory, what each output decodes to, and whether the flac
# tool finds each one's MD5 right.
#
# Usage: bench/cut_flac.sh [RUNS]   (default 3)
# FLAC_COPY overrides the program (default: build/default/bench/flac_copy, built with
# TRIMORA_BENCH when missing). TRIMORA_BENCH_DIR as for the other benchmarks.
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-3}
bench_setup sox ffmpeg flac
copier=${FLAC_COPY:-build/default/bench/flac_copy}
if [ -z "${FLAC_COPY:-}" ] && [ ! -x "$copier" ]; then
  cmake --preset default -DTRIMORA_BENCH=ON >/dev/null
  cmake --build --preset default --target flac_copy
fi

input=$work/in_20min_tone.flac
[ -s "$input" ] || ffmpeg -nostdin -v error -y -i "$(input_wav)" -c:a flac "$input"
out=$work/out.flac

for name in trimora-copy ffmpeg-copy; do rm -f "$work/$name.times"; done
for ((i = 0; i < runs; i++)); do
  run trimora-copy "$copier" "$input" "$out" $((60 * 44100)) $((1100 * 44100 - 1))
  cp "$out" "$work/trimora-copy.flac"
  run ffmpeg-copy ffmpeg -nostdin -v error -y -ss 60 -to 1100 -i "$input" -c copy "$out"
  cp "$out" "$work/ffmpeg-copy.flac"
done
rm -f "$out"

declare -A median peak
echo "FLAC cut 60 s-1100 s of a 20-minute 16-bit stereo 44.1 kHz file, median of $runs runs"
summarise trimora-copy ffmpeg-copy
echo "trimora / ffmpeg -c copy $(ratio "${median[trimora-copy]}" "${median[ffmpeg-copy]}")" \
     "(target <= 2.00); peak memory $(ratio "${peak[trimora-copy]}" 1024) MiB (target < 64)"
for name in trimora-copy ffmpeg-copy; do
  frames=$(($(ffmpeg -nostdin -v error -i "$work/$name.flac" -f s16le - | wc -c) / 4))
  verdict=$(flac -s -t "$work/$name.flac" 2>&1 && echo "MD5 right" || echo "flac -t fails")
  echo "$name: decodes to $frames frames (the range holds $((1040 * 44100))); ${verdict//$'\n'/ }"
done
