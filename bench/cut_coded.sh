#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times a cut of a 20-minute stereo file of one coded kind (flac, opus, vorbis or m4a), from
# 00:01:00.0 to 00:18:20.0: trimora-cli re-encoding against FFmpeg re-encoding with the same
# codec, and `cut --copy` against FFmpeg's stream copy (`-ss -to -c copy`). Prints the median
# wall time of each tool over several runs, the ratios against the targets, the peak memory
# (from /usr/bin/time -v), and how many frames FFmpeg decodes from each cut against the range's.
#
# Usage: bench/cut_coded.sh KIND [RUNS]   (default 3; bench/cut_flac.sh and the like call it)
# TRIMORA_CLI and TRIMORA_BENCH_DIR as for the other benchmarks.
source "$(dirname "$(readlink -f "$0")")/timing.sh"
kind=${1:?usage: cut_coded.sh flac|opus|vorbis|m4a [RUNS]}
runs=${2:-3}
bench_setup ffmpeg python3

case $kind in
  flac) ext=flac codec=(-c:a flac) copy_target=2.00 rate=44100 ;;
  opus) ext=opus codec=(-c:a libopus -b:a 96k) copy_target=1.50 rate=48000 ;;
  vorbis) ext=ogg codec=(-c:a libvorbis -q:a 5) copy_target=1.50 rate=44100 ;;
  m4a) ext=m4a codec=(-c:a aac -b:a 160k) copy_target=1.50 rate=44100 ;;
  *) echo "unknown kind $kind" >&2; exit 2 ;;
esac
input=$work/in_20min_tone.$ext
[ -s "$input" ] || ffmpeg -nostdin -v error -y -i "$(input_wav)" "${codec[@]}" "$input"
out=$work/out.$ext

tools=(trimora ffmpeg trimora-copy ffmpeg-copy)
for name in "${tools[@]}"; do rm -f "$work/$name.times"; done
declare -A frames
for ((i = 0; i < runs; i++)); do
  run trimora "$cli" cut "$input" --start 00:01:00.0 --end 00:18:20.0 -o "$out" -f --quiet
  count_frames trimora
  run ffmpeg ffmpeg -nostdin -v error -y -ss 60 -to 1100 -i "$input" "${codec[@]}" "$out"
  count_frames ffmpeg
  run trimora-copy "$cli" cut "$input" --start 00:01:00.0 --end 00:18:20.0 -o "$out" -f \
      --copy --quiet
  count_frames trimora-copy
  run ffmpeg-copy ffmpeg -nostdin -v error -y -ss 60 -to 1100 -i "$input" -c copy "$out"
  count_frames ffmpeg-copy
done
rm -f "$out"

declare -A median peak
echo "$kind cut 00:01:00.0-00:18:20.0 of a 20-minute stereo file, median of $runs runs" \
     "(the range holds $((1040 * rate + 1)) frames)"
summarise "${tools[@]}"
for name in "${tools[@]}"; do
  echo "$name: decodes to ${frames[$name]} frames; peak memory $(ratio "${peak[$name]}" 1024) MiB"
done
echo "trimora / ffmpeg re-encoding $(ratio "${median[trimora]}" "${median[ffmpeg]}") (target <= 1.00)"
echo "trimora --copy / ffmpeg -c copy $(ratio "${median[trimora-copy]}" "${median[ffmpeg-copy]}")" \
     "(target <= $copy_target); peak memory target < 64 MiB"
