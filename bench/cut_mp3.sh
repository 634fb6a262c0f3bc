#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times an MP3 cut by trimora-cli against FFmpeg and sox re-encoding the same stretch at the
# same bit rate: a 20-minute CBR 128 kbps stereo 44.1 kHz MP3, cut from 00:02:00.0 to
# 00:18:00.0. trimora-cli runs with 1, 2 and (where the machine has the cores) 4 encoder
# lanes. Prints the median wall time of each tool over several runs, the ratios, and the
# peak memory (the largest resident set size of any run, from /usr/bin/time -v).
#
# Usage: bench/cut_mp3.sh [RUNS]   (default 3)
# TRIMORA_CLI overrides the program to time (default: build/default/cli/trimora-cli, built
# with the default preset when missing). TRIMORA_BENCH_DIR is where the input is generated
# once and kept (default: ${TMPDIR:-/tmp}/trimora-bench).
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-3}
bench_setup sox lame ffmpeg

input=$(input_mp3)
out=$work/out.mp3

lanes=(1 2)
[ "$(nproc)" -ge 4 ] && lanes+=(4)
tools=()
for n in "${lanes[@]}"; do tools+=("trimora-$n"); done
tools+=(ffmpeg sox)
for name in "${tools[@]}"; do rm -f "$work/$name.times"; done
declare -A frames
for ((i = 0; i < runs; i++)); do
  # Interleaved, so that a slow patch of the machine falls on every tool alike.
  for n in "${lanes[@]}"; do
    run "trimora-$n" "$cli" cut "$input" --start 00:02:00.0 --end 00:18:00.0 -o "$out" \
        --lanes "$n" --quiet
    frames[$n]=$(ffmpeg -nostdin -v error -i "$out" -f s16le - | wc -c)
  done
  run ffmpeg ffmpeg -nostdin -v error -y -ss 120 -to 1080 -i "$input" -c:a libmp3lame \
      -b:a 128k "$out"
  run sox sox -V1 "$input" -C 128 "$out" trim 120 =1080
done
rm -f "$out"

declare -A median peak
echo "MP3 cut 00:02:00.0-00:18:00.0 of a 20-minute CBR 128 kbps stereo 44.1 kHz file," \
     "re-encoded at 128 kbps, median of $runs runs"
summarise "${tools[@]}"
for n in "${lanes[@]}"; do
  target="<= 1.00"
  [ "$n" -gt 1 ] && target="<= 0.55"
  echo "trimora, $n lane(s): decodes to $((frames[$n] / 4)) frames" \
       "(the range holds $((960 * 44100 + 1))); / ffmpeg $(ratio "${median[trimora-$n]}" \
       "${median[ffmpeg]}") (target $target); / sox $(ratio "${median[trimora-$n]}" \
       "${median[sox]}"); peak memory $(ratio "${peak[trimora-$n]}" 1024) MiB (target < 64)"
done
