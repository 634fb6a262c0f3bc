# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the benchmark scripts (sourced first; it sets strict mode and moves to the top of
# the tree): the program to time, generated inputs, timed runs of competing tools and their
# summary. bench_setup sets $cli and $work (the scratch folder); the caller sets $out (the
# output file each run rewrites).
set -euo pipefail
cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.."

# bench_setup TOOL...: checks that the tools (and /usr/bin/time) are there; $cli becomes
# TRIMORA_CLI or the default preset's trimora-cli, built when missing; $work is
# TRIMORA_BENCH_DIR or ${TMPDIR:-/tmp}/trimora-bench, created if need be.
bench_setup() {
  local tool
  for tool in "$@" /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$(basename "$0"): $tool is needed" >&2; exit 1; }
  done
  cli=${TRIMORA_CLI:-build/default/cli/trimora-cli}
  if [ -z "${TRIMORA_CLI:-}" ] && [ ! -x "$cli" ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default --target trimora-cli
  fi
  cli=$(readlink -f "$cli")
  work=${TRIMORA_BENCH_DIR:-${TMPDIR:-/tmp}/trimora-bench}
  mkdir -p "$work"
}

# tone_wav FILE SECONDS LOW_HZ: 16-bit stereo 44.1 kHz, a tone rising from LOW_HZ to 2400 Hz
# and one falling from 440 to 300 Hz under pink noise: rather than silence, so that the
# encoders have real work to do.
tone_wav() {
  echo "generating $1 ..." >&2
  sox -V1 -R -n -r 44100 -b 16 -c 2 "$1" synth "$2" sine "$3"-2400 sine 440-300 \
      synth "$2" pinknoise mix gain -4
}

# The 20-minute inputs several benchmarks share, made once in $work; each prints its path: a
# tone_wav from 180 Hz, that as CBR 128 kbps MP3 (lame), and as WMA version 2 at 128 kbps with
# a title and an artist (FFmpeg).
input_wav() {
  local file=$work/in_20min_tone.wav
  [ -s "$file" ] || tone_wav "$file" 1200 180
  echo "$file"
}
input_mp3() {
  local file=$work/in_20min_tone_cbr128.mp3
  [ -s "$file" ] || lame --quiet -b 128 "$(input_wav)" "$file"
  echo "$file"
}
input_wma() {
  local file=$work/in_20min_tone_wmav2_128.wma
  [ -s "$file" ] || ffmpeg -nostdin -v error -y -i "$(input_wav)" -c:a wmav2 -b:a 128k \
      -metadata title="Bench Title" -metadata artist="Bench Artist" "$file"
  echo "$file"
}

# run NAME COMMAND...: one timed run; appends "microseconds kilobytes" to $work/NAME.times.
run() {
  local name=$1
  shift
  rm -f "$out"
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/$name.mem" "$@" >/dev/null 2>"$work/$name.err" || {
    echo "$(basename "$0"): $name failed:" >&2
    cat "$work/$name.err" "$work/$name.mem" >&2
    exit 1
  }
  end=$(date +%s%N)
  local kb
  kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/$name.mem")
  echo "$(( (end - start) / 1000 )) $kb" >>"$work/$name.times"
}

median_us() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : int((a[NR / 2] + a[NR / 2 + 1]) / 2)}'; }

# ratio A B: A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# summarise TOOL...: fills median[TOOL] (microseconds) and peak[TOOL] (KiB) from the runs and
# prints them as a table. The caller declares: declare -A median peak
summarise() {
  local name
  for name in "$@"; do
    median[$name]=$(cut -d' ' -f1 "$work/$name.times" | median_us)
    peak[$name]=$(cut -d' ' -f2 "$work/$name.times" | sort -n | tail -1)
  done
  printf '%-12s %10s %12s\n' tool "wall (s)" "peak (MiB)"
  for name in "$@"; do
    awk -v us="${median[$name]}" -v kb="${peak[$name]}" -v n="$name" \
      'BEGIN {printf "%-12s %10.3f %12.1f\n", n, us / 1e6, kb / 1024}'
  done
}

# count_frames EXT: the frames (16-bit stereo) that $out decodes to, for compare_wav_mp3's
# last lines.
count_frames() {
  frames[$1]=$(($(ffmpeg -nostdin -v error -i "$out" -f s16le - | wc -c) / 4))
}

# compare_wav_mp3 TITLE: $runs rounds of the caller's one_round EXT CODEC_ARGS SOX_ARGS (each
# tool once on the files of EXT, trimora first and then count_frames EXT), on WAV and on MP3
# re-encoded at 128 kbps. The tools take turns, so that a slow patch of the machine falls on
# every tool alike. Then the table and the ratios.
compare_wav_mp3() {
  declare -gA median peak frames
  local ext codec soxargs name i
  for ext in wav mp3; do
    codec="-c:a pcm_s16le" soxargs=""
    [ "$ext" = mp3 ] && codec="-c:a libmp3lame -b:a 128k" soxargs="-C 128"
    for name in trimora ffmpeg sox; do rm -f "$work/$name-$ext.times"; done
    for ((i = 0; i < runs; i++)); do one_round "$ext" "$codec" "$soxargs"; done
    rm -f "$out"
  done
  echo "$1, median of $runs runs"
  summarise trimora-wav ffmpeg-wav sox-wav trimora-mp3 ffmpeg-mp3 sox-mp3
  for ext in wav mp3; do
    echo "$ext: trimora / ffmpeg $(ratio "${median[trimora-$ext]}" "${median[ffmpeg-$ext]}")," \
         "trimora / sox $(ratio "${median[trimora-$ext]}" "${median[sox-$ext]}");" \
         "trimora output decodes to ${frames[$ext]} frames"
  done
}

# compare_copy TITLE: after compare_wav_mp3, $runs rounds of the caller's copy_round (trimora
# with --copy on the MP3 as "trimora-copy", then FFmpeg copying frames as "ffmpeg-copy"), in
# turns; the table, and the ratios to FFmpeg's copy and to trimora's re-encoding run.
compare_copy() {
  local name i
  for name in trimora-copy ffmpeg-copy; do rm -f "$work/$name.times"; done
  for ((i = 0; i < runs; i++)); do copy_round; done
  rm -f "$out"
  echo "$1, median of $runs runs"
  summarise trimora-copy ffmpeg-copy
  echo "mp3 --copy: trimora / ffmpeg -c copy $(ratio "${median[trimora-copy]}" "${median[ffmpeg-copy]}")," \
       "trimora --copy / trimora re-encoding $(ratio "${median[trimora-copy]}" "${median[trimora-mp3]}");" \
       "trimora output decodes to ${frames[copy]} frames"
}
