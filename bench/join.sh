#!/usr/bin/env bash
# Times trimora-cli join against sox and FFmpeg's concat filter on the same inputs: two
# 10-minute 16-bit stereo 44.1 kHz WAVs, then two 10-minute CBR 128 kbps MP3s re-encoded at
# 128 kbps. Prints the median wall time of each tool over several runs, the ratios, and the
# peak memory (the largest resident set size of any run, from /usr/bin/time -v).
#
# Usage: bench/join.sh [RUNS]   (default 3)
# TRIMORA_CLI overrides the program to time (default: build/default/cli/trimora-cli, built
# with the default preset when missing). TRIMORA_BENCH_DIR is where the inputs are generated
# once and kept (default: ${TMPDIR:-/tmp}/trimora-bench).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

source bench/timing.sh
runs=${1:-3}
bench_setup sox lame ffmpeg

# The two halves differ so that a join is no copy of one file.
for part in 1 2; do
  wav=$work/join_10min_$part.wav
  [ -s "$wav" ] || tone_wav "$wav" 600 $((150 * part))
  [ -s "${wav%.wav}.mp3" ] || lame --quiet -b 128 "$wav" "${wav%.wav}.mp3"
done

concat='[0:a][1:a]concat=n=2:v=0:a=1'
# bench_kind EXT FFMPEG_CODEC_ARGS SOX_ARGS: the three tools joining the two files of EXT.
bench_kind() {
  local ext=$1 codec=$2 soxargs=$3
  local a=$work/join_10min_1.$ext b=$work/join_10min_2.$ext
  out=$work/joined.$ext
  tools=("trimora-$ext" "ffmpeg-$ext" "sox-$ext")
  for name in "${tools[@]}"; do rm -f "$work/$name.times"; done
  for ((i = 0; i < runs; i++)); do
    # Interleaved, so that a slow patch of the machine falls on every tool alike.
    run "trimora-$ext" "$cli" join "$a" "$b" -o "$out" --quiet
    frames[$ext]=$(ffmpeg -nostdin -v error -i "$out" -f s16le - | wc -c)
    # shellcheck disable=SC2086 # the codec arguments are words
    run "ffmpeg-$ext" ffmpeg -nostdin -v error -y -i "$a" -i "$b" -filter_complex "$concat" \
        $codec "$out"
    # shellcheck disable=SC2086
    run "sox-$ext" sox -V1 "$a" "$b" $soxargs "$out"
  done
  rm -f "$out"
}

declare -A median peak frames
bench_kind wav "-c:a pcm_s16le" ""
bench_kind mp3 "-c:a libmp3lame -b:a 128k" "-C 128"

echo "Join of two 10-minute 16-bit stereo 44.1 kHz files, median of $runs runs"
summarise trimora-wav ffmpeg-wav sox-wav trimora-mp3 ffmpeg-mp3 sox-mp3
for ext in wav mp3; do
  echo "$ext: trimora / ffmpeg $(ratio "${median[trimora-$ext]}" "${median[ffmpeg-$ext]}")," \
       "trimora / sox $(ratio "${median[trimora-$ext]}" "${median[sox-$ext]}");" \
       "trimora output decodes to $((frames[$ext] / 4)) frames"
done
