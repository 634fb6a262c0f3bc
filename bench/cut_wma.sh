#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times a WMA cut by trimora-cli against FFmpeg re-encoding the same stretch with the same
# codec and bit rate: a 20-minute WMA (version 2, 128 kbps, stereo 44.1 kHz, made by
# FFmpeg), cut from 00:02:00.0 to 00:18:00.0. Prints the median wall time of each tool over
# several runs, the ratio, and the peak memory (largest resident set of any run).
#
# Usage: bench/cut_wma.sh [RUNS]   (default 3)
# TRIMORA_CLI overrides the program to time (default: build/default/cli/trimora-cli, built
# with the default preset when missing). TRIMORA_BENCH_DIR is where the input is generated
# once and kept (default: ${TMPDIR:-/tmp}/trimora-bench).
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-3}
bench_setup sox ffmpeg ffprobe

input=$(input_wma)
out=$work/out.wma

tools=(trimora ffmpeg)
for name in "${tools[@]}"; do rm -f "$work/$name.times"; done
for ((i = 0; i < runs; i++)); do
  # Interleaved, so that a slow patch of the machine falls on every tool alike.
  run trimora "$cli" cut "$input" --start 00:02:00.0 --end 00:18:00.0 -o "$out" --quiet
  frames=$(ffmpeg -nostdin -v error -i "$out" -f s16le - | wc -c)
  format=$(ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bit_rate \
      -of csv=p=0 "$out")
  run ffmpeg ffmpeg -nostdin -v error -y -ss 120 -to 1080 -i "$input" -c:a wmav2 -b:a 128k "$out"
done
rm -f "$out"

declare -A median peak
echo "WMA cut 00:02:00.0-00:18:00.0 of a 20-minute 128 kbps stereo 44.1 kHz file," \
     "re-encoded with wmav2 at 128 kbps, median of $runs runs"
summarise "${tools[@]}"
echo "trimora output: $format; decodes to $((frames / 4)) frames" \
     "(the range holds $((960 * 44100 + 1)); whole codec frames of 2048)"
echo "trimora / ffmpeg: $(ratio "${median[trimora]}" "${median[ffmpeg]}")  (target <= 1.00)"
echo "trimora peak memory: $(ratio "${peak[trimora]}" 1024) MiB"
