#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Decodes 20-minute MP3 (CBR 128 kbps, VBR with a Xing tag, VBR without a tag) and WMA files
# through TMP3In / TWMIn into a sink that keeps nothing, and FFmpeg's `ffmpeg -i x -f null -`
# on the same files; prints the best of three runs of each and their ratio.
#
# usage: bench/decode_media.sh [path/to/decode_media]
#   default: build/default/bench/decode_media (configure with -DTRIMORA_BENCH=ON).
# Needs sox, lame and ffmpeg. The test files are made once in $TRIMORA_BENCH_DIR
# (default: ${TMPDIR:-/tmp}/trimora-bench-media).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
tool=${1:-$root/build/default/bench/decode_media}
dir=${TRIMORA_BENCH_DIR:-${TMPDIR:-/tmp}/trimora-bench-media}
[ -x "$tool" ] || { echo "no benchmark executable at $tool" >&2; exit 1; }
mkdir -p "$dir"

make_files() {
  [ -f "$dir/cbr128.mp3" ] && [ -f "$dir/vbr.mp3" ] && [ -f "$dir/vbr_notag.mp3" ] &&
    [ -f "$dir/wma128.wma" ] && return
  echo "making 20-minute test files in $dir ..." >&2
  sox -R -n -r 44100 -c 2 -b 16 "$dir/signal.wav" synth 1200 sine 180-2400 sine 440-300 \
      synth 1200 pinknoise mix gain -4
  lame --quiet -b 128 "$dir/signal.wav" "$dir/cbr128.mp3"
  lame --quiet -V 4 "$dir/signal.wav" "$dir/vbr.mp3"
  lame --quiet -V 4 -t "$dir/signal.wav" "$dir/vbr_notag.mp3"
  ffmpeg -v error -y -i "$dir/signal.wav" -c:a wmav2 -b:a 128k "$dir/wma128.wma"
  rm -f "$dir/signal.wav"
}

now() { date +%s.%N; }

# Best of three wall-clock times of a command, in seconds.
best_of_three() {
  local best="" start end t
  for _ in 1 2 3; do
    start=$(now)
    "$@" > /dev/null 2>&1
    end=$(now)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%.3f' "$best"
}

make_files
printf '%-16s %10s %10s %7s   %s\n' file trimora ffmpeg ratio "trimora open (frame scan)"
for f in cbr128.mp3 vbr.mp3 vbr_notag.mp3 wma128.wma; do
  ours=$(best_of_three "$tool" "$dir/$f")
  theirs=$(best_of_three ffmpeg -v error -i "$dir/$f" -f null -)
  opened=$("$tool" "$dir/$f" | sed -n 's/^open \([0-9.]*\) s.*/\1/p')
  printf '%-16s %9ss %9ss %7.2f   %ss\n' "$f" "$ours" "$theirs" \
      "$(echo "$ours / $theirs" | bc -l)" "$opened"
done
