#!/usr/bin/env bash
# Times trimora-cli remove against sox (trim with several ranges) and FFmpeg (atrim + concat)
# removing three stretches from a 20-minute 16-bit stereo 44.1 kHz WAV and from the same as a
# CBR 128 kbps MP3 re-encoded at 128 kbps. trimora-cli widens each stretch by 0.1 s, so the
# others are given the widened stretches. Prints the median wall time of each tool over
# several runs, the ratios, and the peak memory (largest resident set of any run).
#
# Usage: bench/remove.sh [RUNS]   (default 3)
# TRIMORA_CLI and TRIMORA_BENCH_DIR as in bench/timing.sh.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

source bench/timing.sh
runs=${1:-3}
bench_setup sox lame ffmpeg

wav=$work/remove_20min.wav
[ -s "$wav" ] || tone_wav "$wav" 1200 200
[ -s "${wav%.wav}.mp3" ] || lame --quiet -b 128 "$wav" "${wav%.wav}.mp3"

# Removed: 00:02:00.0-00:03:00.0, 00:08:30.0-00:09:00.0, 00:15:00.0-00:16:30.0, widened.
segments=(-s 00:02:00.0-00:03:00.0 -s 00:08:30.0-00:09:00.0 -s 00:15:00.0-00:16:30.0)
# Kept, in seconds: 0-119.9, 180.1-509.9, 540.1-899.9, 990.1 to the end.
keep='[0:a]atrim=0:119.9[a];[0:a]atrim=180.1:509.9,asetpts=N/SR/TB[b];'
keep+='[0:a]atrim=540.1:899.9,asetpts=N/SR/TB[c];[0:a]atrim=start=990.1,asetpts=N/SR/TB[d];'
keep+='[a][b][c][d]concat=n=4:v=0:a=1'
soxtrim=(trim 0 =119.9 =180.1 =509.9 =540.1 =899.9 =990.1)

bench_kind() {
  local ext=$1 codec=$2 soxargs=$3
  local in=$work/remove_20min.$ext
  out=$work/removed.$ext
  tools=("trimora-$ext" "ffmpeg-$ext" "sox-$ext")
  for name in "${tools[@]}"; do rm -f "$work/$name.times"; done
  for ((i = 0; i < runs; i++)); do
    run "trimora-$ext" "$cli" remove "$in" "${segments[@]}" -o "$out" --quiet
    frames[$ext]=$(ffmpeg -nostdin -v error -i "$out" -f s16le - | wc -c)
    # shellcheck disable=SC2086 # the codec arguments are words
    run "ffmpeg-$ext" ffmpeg -nostdin -v error -y -i "$in" -filter_complex "$keep" $codec "$out"
    # sox's trim with several positions keeps every other stretch, which is what remains.
    # shellcheck disable=SC2086
    run "sox-$ext" sox -V1 "$in" $soxargs "$out" "${soxtrim[@]}"
  done
  rm -f "$out"
}

declare -A median peak frames
bench_kind wav "-c:a pcm_s16le" ""
bench_kind mp3 "-c:a libmp3lame -b:a 128k" "-C 128"

echo "Removal of three stretches from a 20-minute 16-bit stereo 44.1 kHz file, median of $runs runs"
summarise trimora-wav ffmpeg-wav sox-wav trimora-mp3 ffmpeg-mp3 sox-mp3
for ext in wav mp3; do
  echo "$ext: trimora / ffmpeg $(ratio "${median[trimora-$ext]}" "${median[ffmpeg-$ext]}")," \
       "trimora / sox $(ratio "${median[trimora-$ext]}" "${median[sox-$ext]}");" \
       "trimora output decodes to $((frames[$ext] / 4)) frames"
done
