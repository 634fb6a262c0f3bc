#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times trimora-cli remove against sox (trim with several ranges) and FFmpeg (atrim + concat)
# removing three stretches from a 20-minute 16-bit stereo 44.1 kHz WAV and from the same as a
# CBR 128 kbps MP3 re-encoded at 128 kbps. trimora-cli widens each stretch by 0.1 s, so the
# others are given the widened stretches. Prints the median wall time of each tool over
# several runs, the ratios, and the peak memory (largest resident set of any run). Then the
# MP3 remove with --copy (frames kept, a bridge coded afresh at each join) against FFmpeg
# copying all of the file's frames (-c copy), and against the re-encoding remove.
#
# Usage: bench/remove.sh [RUNS]   (default 3)
# TRIMORA_CLI and TRIMORA_BENCH_DIR as in bench/timing.sh.
source "$(dirname "$(readlink -f "$0")")/timing.sh"
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

# one_round EXT FFMPEG_CODEC_ARGS SOX_ARGS: the three tools removing the stretches from EXT.
one_round() {
  local ext=$1 codec=$2 soxargs=$3
  local in=$work/remove_20min.$ext
  out=$work/removed.$ext
  run "trimora-$ext" "$cli" remove "$in" "${segments[@]}" -o "$out" --quiet
  count_frames "$ext"
  # shellcheck disable=SC2086 # the codec arguments are words
  run "ffmpeg-$ext" ffmpeg -nostdin -v error -y -i "$in" -filter_complex "$keep" $codec "$out"
  # sox's trim with several positions keeps every other stretch, which is what remains.
  # shellcheck disable=SC2086
  run "sox-$ext" sox -V1 "$in" $soxargs "$out" "${soxtrim[@]}"
}

compare_wav_mp3 "Removal of three stretches from a 20-minute 16-bit stereo 44.1 kHz file"

copy_round() {
  local in=$work/remove_20min.mp3
  out=$work/removed_copy.mp3
  run trimora-copy "$cli" remove "$in" "${segments[@]}" --copy -o "$out" --quiet
  count_frames copy
  run ffmpeg-copy ffmpeg -nostdin -v error -y -i "$in" -c copy "$out"
}

compare_copy "Removal keeping the frames, against copying the whole MP3's frames"
