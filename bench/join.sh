#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times trimora-cli join against sox and FFmpeg's concat filter on the same inputs: two
# 10-minute 16-bit stereo 44.1 kHz WAVs, then two 10-minute CBR 128 kbps MP3s re-encoded at
# 128 kbps. Prints the median wall time of each tool over several runs, the ratios, and the
# peak memory (the largest resident set size of any run, from /usr/bin/time -v). Then the
# MP3 join with --copy (frames kept, a bridge coded afresh at the join) against FFmpeg's
# concat protocol copying both files' frames (-c copy), and against the re-encoding join.
#
# Usage: bench/join.sh [RUNS]   (default 3)
# TRIMORA_CLI overrides the program to time (default: build/default/cli/trimora-cli, built
# with the default preset when missing). TRIMORA_BENCH_DIR is where the inputs are generated
# once and kept (default: ${TMPDIR:-/tmp}/trimora-bench).
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-3}
bench_setup sox lame ffmpeg

# The two halves differ so that a join is no copy of one file.
for part in 1 2; do
  wav=$work/join_10min_$part.wav
  [ -s "$wav" ] || tone_wav "$wav" 600 $((150 * part))
  [ -s "${wav%.wav}.mp3" ] || lame --quiet -b 128 "$wav" "${wav%.wav}.mp3"
done

concat='[0:a][1:a]concat=n=2:v=0:a=1'
# one_round EXT FFMPEG_CODEC_ARGS SOX_ARGS: the three tools joining the two files of EXT.
one_round() {
  local ext=$1 codec=$2 soxargs=$3
  local a=$work/join_10min_1.$ext b=$work/join_10min_2.$ext
  out=$work/joined.$ext
  run "trimora-$ext" "$cli" join "$a" "$b" -o "$out" --quiet
  count_frames "$ext"
  # shellcheck disable=SC2086 # the codec arguments are words
  run "ffmpeg-$ext" ffmpeg -nostdin -v error -y -i "$a" -i "$b" -filter_complex "$concat" \
      $codec "$out"
  # shellcheck disable=SC2086
  run "sox-$ext" sox -V1 "$a" "$b" $soxargs "$out"
}

compare_wav_mp3 "Join of two 10-minute 16-bit stereo 44.1 kHz files"

copy_round() {
  local a=$work/join_10min_1.mp3 b=$work/join_10min_2.mp3
  out=$work/joined_copy.mp3
  run trimora-copy "$cli" join "$a" "$b" --copy -o "$out" --quiet
  count_frames copy
  run ffmpeg-copy ffmpeg -nostdin -v error -y -i "concat:$a|$b" -c copy "$out"
}

compare_copy "Join keeping the frames, against copying both MP3s' frames"
